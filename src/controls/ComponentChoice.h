// Which component library stands behind a target's control: TRANVEX_<TARGET>_COMPONENT (or
// tranvex-run's --<target>-component) names sim, net, replay or the absolute path of a library;
// unset, the class identifier's library is searched for as always. TRANVEX_RECORD (or
// --record-calls) adds the recorder around whichever component it is.
#pragma once

#include <memory>
#include <string>

#include "controls/PaymentTargets.h"
#include "platform/Component.h"

// The library file the network component is built as, in the program's components folder.
inline constexpr const char* kNetComponentLibrary = "tranvex-net.so";

// "TRANVEX_CLIENT_COMPONENT" for the client, and so on.
std::string ComponentVariable(const STargetInfo& target);
// "--client-component" for the client, and so on.
std::string ComponentOption(const STargetInfo& target);

namespace tvxreplay {
struct SCassette;
class CCassetteWriter;
} // namespace tvxreplay

// Where calls are recorded and replayed from. Empty strings: the environment says
// (TRANVEX_RECORD, TRANVEX_REPLAY, TRANVEX_REPLAY_IGNORE); tranvex-run's options fill them.
struct SCallTapes {
    std::string strRecordFile;
    std::string strReplayFile;
    std::string strReplayIgnore; // "Name,Name,..."
    bool bReplayIgnoreGiven = false;
};

struct SComponentChoice {
    std::string strLibrary; // the library to load; empty: the usual search by class identifier
    std::string strProblem; // why the value names no usable library, naming where it came from
    std::shared_ptr<const tvxreplay::SCassette> replay; // set for replay: the cassette, read
    std::string strReplayIgnore;
    std::shared_ptr<tvxreplay::CCassetteWriter> recorder; // set when the calls are recorded
};

// The choice for target: strValue as given by strSource (an option), else the environment variable.
SComponentChoice ChooseComponent(const STargetInfo& target, const std::string& strValue = {},
                                 const std::string& strSource = {}, const SCallTapes& tapes = {});

// The component the choice stands for: a problem makes one whose every call fails with its text.
std::unique_ptr<IComponent> CreateChosenComponent(const STargetInfo& target, const SComponentChoice& choice);
