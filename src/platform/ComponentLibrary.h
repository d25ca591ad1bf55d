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

// True when text is a braced GUID and nothing else.
bool IsClassIdentifier(const std::string& clsid);
