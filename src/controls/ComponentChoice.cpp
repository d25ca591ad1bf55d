// Resolving sim, net or a library path to the library behind a control.
#include "controls/ComponentChoice.h"

#include <cctype>
#include <cstdlib>

#include "platform/ComponentLibrary.h"
#include "replay/CallRecorder.h"
#include "replay/ReplayComponent.h"

namespace {

std::string FromEnvironment(const std::string& strGiven, const char* pszVariable) {
    if (!strGiven.empty())
        return strGiven;
    const char* value = std::getenv(pszVariable);
    return value ? value : "";
}

void AddProblem(SComponentChoice& choice, const std::string& strProblem) {
    choice.strProblem += (choice.strProblem.empty() ? "" : "\n") + strProblem;
}

// The recorder of the session's cassette, when one is asked for.
void ChooseRecorder(SComponentChoice& choice, const SCallTapes& tapes) {
    const std::string path = FromEnvironment(tapes.strRecordFile, "TRANVEX_RECORD");
    if (path.empty())
        return;
    std::string problem;
    choice.recorder = tvxreplay::CCassetteWriter::Open(path, problem);
    if (!choice.recorder)
        AddProblem(choice, problem);
}

void ChooseReplay(const STargetInfo& target, const std::string& source, SComponentChoice& choice,
                  const SCallTapes& tapes) {
    const std::string path = FromEnvironment(tapes.strReplayFile, "TRANVEX_REPLAY");
    choice.strReplayIgnore =
        tapes.bReplayIgnoreGiven ? tapes.strReplayIgnore : FromEnvironment({}, "TRANVEX_REPLAY_IGNORE");
    if (path.empty()) {
        AddProblem(choice, source + " is replay: name the cassette with TRANVEX_REPLAY (tranvex-run: --replay FILE)");
        return;
    }
    std::string problem;
    choice.replay = tvxreplay::LoadCassette(path, target, problem);
    if (!choice.replay)
        AddProblem(choice, problem);
}

} // namespace

std::string ComponentVariable(const STargetInfo& target) {
    std::string name = "TRANVEX_";
    for (const char* p = target.pszName; *p; ++p)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return name + "_COMPONENT";
}

std::string ComponentOption(const STargetInfo& target) {
    return std::string("--") + target.pszName + "-component";
}

SComponentChoice ChooseComponent(const STargetInfo& target, const std::string& strValue,
                                 const std::string& strSource, const SCallTapes& tapes) {
    std::string value = strValue, source = strSource;
    if (source.empty()) {
        source = ComponentVariable(target);
        const char* env = std::getenv(source.c_str());
        value = env ? env : "";
    }
    SComponentChoice choice;
    ChooseRecorder(choice, tapes);
    if (value.empty())
        return choice;
    const std::string folder = ProgramComponentFolder();
    if (value == "replay") {
        ChooseReplay(target, source, choice, tapes);
        return choice;
    }
    if (value == "sim")
        choice.strLibrary = folder + "/" + target.pszClsid + ".so";
    else if (value == "net")
        choice.strLibrary = folder + "/" + kNetComponentLibrary;
    else if (value.front() == '/')
        choice.strLibrary = value;
    else {
        AddProblem(choice, source + " is \"" + value +
                               "\": give sim, net, replay or the absolute path of a component library");
        return choice;
    }
    if (const std::string problem = ComponentLibraryProblem(choice.strLibrary); !problem.empty())
        AddProblem(choice, source + " " + value + ": " + problem);
    return choice;
}

namespace {

std::unique_ptr<IComponent> CreateAnswering(const STargetInfo& target, const SComponentChoice& choice) {
    if (choice.replay)
        return std::make_unique<tvxreplay::CReplayComponent>(target, choice.replay,
                                                             tvxreplay::ParseIgnoredNames(choice.strReplayIgnore));
    if (choice.strLibrary.empty())
        return CComponentRegistry::Instance().Create(target.pszClsid);
    return LoadComponentFrom(choice.strLibrary, target.pszClsid);
}

} // namespace

std::unique_ptr<IComponent> CreateChosenComponent(const STargetInfo& target, const SComponentChoice& choice) {
    if (!choice.strProblem.empty())
        return std::make_unique<CMissingComponent>(choice.strProblem);
    std::unique_ptr<IComponent> component = CreateAnswering(target, choice);
    if (choice.recorder)
        return std::make_unique<tvxreplay::CRecordingComponent>(std::move(component), target, choice.recorder);
    return component;
}
