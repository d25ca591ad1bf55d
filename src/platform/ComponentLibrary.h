// Loads a component library for a class identifier and wraps its C entry point as an IComponent.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Component.h"

// Folders searched, in order: each entry of TRANVEX_COMPONENT_PATH (colon-separated), then the
// program's own components folder.
std::vector<std::string> ComponentSearchPath();

// The library for a class identifier lives at <folder>/<clsid>.so. The clsid must be GUID text
// ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"); anything else is refused. Never returns null: a
// library that is missing or unusable gives a component whose every call throws a CDispatchError
// naming the class identifier and the reason.
std::unique_ptr<IComponent> LoadComponentLibrary(const std::string& clsid);

// The library file at path, for clsid: the same wrapping and failures as LoadComponentLibrary.
std::unique_ptr<IComponent> LoadComponentFrom(const std::string& path, const std::string& clsid);

// Why the library at path cannot serve as a component library (no such file, cannot be opened, an
// entry point missing, another interface version); empty when it can. Nothing is created.
std::string ComponentLibraryProblem(const std::string& path);

// The program's own components folder (beside /proc/self/exe); empty when unknown.
std::string ProgramComponentFolder();

// True when text is a braced GUID and nothing else.
bool IsClassIdentifier(const std::string& clsid);
