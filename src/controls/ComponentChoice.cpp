// Resolving sim, net or a library path to the library behind a control.
#include "controls/ComponentChoice.h"

#include <cctype>
#include <cstdlib>

#include "platform/ComponentLibrary.h"

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
                                 const std::string& strSource) {
    std::string value = strValue, source = strSource;
    if (source.empty()) {
        source = ComponentVariable(target);
        const char* env = std::getenv(source.c_str());
        value = env ? env : "";
    }
    SComponentChoice choice;
    if (value.empty())
        return choice;
    const std::string folder = ProgramComponentFolder();
    if (value == "sim")
        choice.strLibrary = folder + "/" + target.pszClsid + ".so";
    else if (value == "net")
        choice.strLibrary = folder + "/" + kNetComponentLibrary;
    else if (value.front() == '/')
        choice.strLibrary = value;
    else {
        choice.strProblem =
            source + " is \"" + value + "\": give sim, net or the absolute path of a component library";
        return choice;
    }
    if (const std::string problem = ComponentLibraryProblem(choice.strLibrary); !problem.empty())
        choice.strProblem = source + " " + value + ": " + problem;
    return choice;
}

std::unique_ptr<IComponent> CreateChosenComponent(const STargetInfo& target, const SComponentChoice& choice) {
    if (!choice.strProblem.empty())
        return std::make_unique<CMissingComponent>(choice.strProblem);
    if (choice.strLibrary.empty())
        return CComponentRegistry::Instance().Create(target.pszClsid);
    return LoadComponentFrom(choice.strLibrary, target.pszClsid);
}
