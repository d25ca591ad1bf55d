// Reading tranvex-run's options: "--name value" or "--name=value"; "--" ends the options.
#include "runner/RunnerOptions.h"

#include <string_view>

#include "controls/ComponentChoice.h"

namespace {

void AddIgnored(const CString& list, std::set<CString>& ignored) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == CString::npos)
            end = list.size();
        const CString name = list.substr(start, end - start);
        if (!name.empty())
            ignored.insert(name);
        start = end + 1;
    }
}

// The target whose --<target>-component option name is; null for none.
const STargetInfo* TargetOfComponentOption(const CString& name) {
    for (const STargetInfo& row : kTargets)
        if (name == ComponentOption(row))
            return &row;
    return nullptr;
}

// --record-calls FILE, --replay FILE, --replay-ignore NAME,...: false when name is none of them.
bool TakeCallTapeOption(const CString& name, const CString& value, SCallTapes& tapes) {
    if (name == "--record-calls")
        tapes.strRecordFile = value;
    else if (name == "--replay")
        tapes.strReplayFile = value;
    else if (name == "--replay-ignore") {
        tapes.strReplayIgnore += (tapes.strReplayIgnore.empty() ? "" : ",") + value;
        tapes.bReplayIgnoreGiven = true;
    } else
        return false;
    return true;
}

bool IsCallTapeOption(const CString& name) {
    SCallTapes unused;
    return TakeCallTapeOption(name, "", unused);
}

} // namespace

const char* RunnerUsage() {
    static const CString usage = CString("Usage: tranvex-run [options] SCRIPT...\n"
           "Runs transaction scripts without a window, as \"Run It and Load Next\" does for every block,\n"
           "and checks each answer.\n"
           "\n"
           "Options:\n"
           "  --target client|device  the payment component that gets the requests (default client)\n"
           "  --client-component sim|net|replay|PATH, --device-component sim|net|replay|PATH\n"
           "                          the library behind each control: the simulated components, the\n"
           "                          network component, the recorded answers of --replay's cassette, or\n"
           "                          the absolute path of a component library;\n"
           "                          wins over TRANVEX_CLIENT_COMPONENT and TRANVEX_DEVICE_COMPONENT\n"
           "  --servers LIST          store LIST on the target control (StoreServerList) before the first\n"
           "                          script; an error answer stops the run\n"
           "  --record DIR            store each response as DIR/<script name>/<block number>.xml\n"
           "  --known-good DIR        compare each response with the one stored in DIR, element by element\n"
           "  --ignore NAME,...       leave these elements out of the comparison (may be repeated)\n"
           "  --junit FILE            write a JUnit XML report\n"
           "  --html FILE             write an HTML report\n"
           "  --record-calls FILE     write every call to either control, with its answer, to the cassette\n"
           "                          FILE (as TRANVEX_RECORD does)\n"
           "  --replay FILE           the cassette that a replay component answers from (as TRANVEX_REPLAY)\n"
           "  --replay-ignore NAME,...  elements whose values replay does not compare (may be repeated;\n"
           "                          as TRANVEX_REPLAY_IGNORE)\n"
           "%SCALE%"
           "  --var NAME=VALUE        give ${NAME} in the scripts this value (may be repeated)\n"
           "  --vars FILE             read NAME=VALUE lines ('#' starts a comment) from FILE; unset,\n"
           "                          from the file named by TRANVEX_VARS\n"
           "  --data FILE.csv         run the scripts once per row of FILE.csv, the columns named by its\n"
           "                          header line being variables over all others; each row is a fresh\n"
           "                          session and its own suite, named \"SCRIPT [row N]\"\n"
           "  --data-name COLUMN      name each row's suites by COLUMN instead of its number\n"
           "  --no-log                write nothing to the daily log in CORVANE_LOGS\n"
           "  --no-mask               show card data in reports and output unmasked\n"
           "  --version               print the version and exit\n"
           "  -h, --help              show this text\n"
           "\n"
           "Checks: a comment directly before a block may hold \"Expect:\" and checks separated by ';':\n"
           "  Approved        CmdStatus equals Approved     Name=value  the element's text equals value\n"
           "  Name~regex      the text matches (search)     Name=*      present and not empty\n"
           "  !Name           the element is absent\n"
           "\n"
           "Without --jobs, the scripts run one after another in one session, as in one window: the\n"
           "components and the AcqRefData, ProcessData and RecordNo carried from each answer into the\n"
           "next request persist (with --data, for one row). Reports list the scripts in the order given.\n"
           "A load run prints transactions, passed, failed, rate and latency percentiles (p50, p90, p99,\n"
           "p99.9, max), overall and per TranCode; --html then draws latency over time and a histogram.\n"
           "Variables: ${NAME} in a block is replaced before the block is read, by the value of --var,\n"
           "else the variables file, else the environment, escaped for XML; $${ writes ${. An undefined\n"
           "variable fails its transaction before anything is sent.\n"
           "Without a choice, each component is searched for in TRANVEX_COMPONENT_PATH, then in the\n"
           "program's components folder.\n"
           "Progress goes to standard error.\n"
           "\n"
           "Exit status: 0 every transaction passed, 1 some failed, 2 usage error, unreadable script or "
           "report\n"
           "file that cannot be written, 130 or 143 stopped by SIGINT or SIGTERM (every report is still\n"
           "written, the rest marked not run).\n");
    static const CString text = [] {
        CString whole = usage;
        whole.replace(whole.find("%SCALE%"), 7, ScaleUsage());
        return whole;
    }();
    return text.c_str();
}

bool ParseRunnerOptions(const std::vector<CString>& args, SRunnerOptions& options, CString& strError) {
    bool bOptionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const CString& arg = args[i];
        if (bOptionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.scripts.push_back(arg);
            continue;
        }
        if (arg == "--") {
            bOptionsEnded = true;
            continue;
        }
        CString name = arg;
        CString value;
        bool bHasValue = false;
        if (const auto eq = arg.find('='); eq != CString::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            bHasValue = true;
        }
        const auto takeValue = [&]() {
            if (bHasValue)
                return true;
            if (i + 1 >= args.size()) {
                strError = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto noValue = [&]() {
            if (bHasValue)
                strError = "option " + name + " takes no value";
            return !bHasValue;
        };

        if (name == "-h" || name == "--help") {
            if (!noValue())
                return false;
            options.bHelp = true;
        } else if (name == "--version") {
            if (!noValue())
                return false;
            options.bVersion = true;
        } else if (name == "--no-log") {
            if (!noValue())
                return false;
            options.bLog = false;
        } else if (name == "--no-mask") {
            if (!noValue())
                return false;
            options.bMask = false;
        } else if (name == "--target") {
            if (!takeValue())
                return false;
            const STargetInfo* row = FindTargetNamed(value);
            if (!row) {
                strError = "--target must be " + TargetNames(" or ") + ", not \"" + value + "\"";
                return false;
            }
            options.target = row->target;
        } else if (const STargetInfo* row = TargetOfComponentOption(name)) {
            if (!takeValue())
                return false;
            if (value.empty()) {
                strError = "option " + name + " needs a value";
                return false;
            }
            options.components[row->target] = value;
        } else if (IsCallTapeOption(name)) {
            if (!takeValue())
                return false;
            if (value.empty()) {
                strError = "option " + name + " needs a value";
                return false;
            }
            TakeCallTapeOption(name, value, options.tapes);
        } else if (name == "--record" || name == "--known-good" || name == "--junit" || name == "--html" ||
                   name == "--ignore" || name == "--servers") {
            if (!takeValue())
                return false;
            if (value.empty()) {
                strError = "option " + name + " needs a value";
                return false;
            }
            if (name == "--ignore")
                AddIgnored(value, options.ignored);
            else
                (name == "--servers"      ? options.strServers
                 : name == "--record"     ? options.strRecordDir
                 : name == "--known-good" ? options.strKnownGoodDir
                 : name == "--junit"      ? options.strJUnitFile
                                          : options.strHtmlFile) = value;
        } else if (IsScaleOption(name)) {
            if (!takeValue() || !SetScaleOption(name, value, options.scale, strError)) {
                if (strError.empty())
                    strError = "option " + name + " needs a value";
                return false;
            }
        } else if (name == "--var") {
            if (!takeValue())
                return false;
            CString strName, strValue;
            if (!ParseVariableAssignment(value, strName, strValue, strError))
                return false;
            options.variables[strName] = strValue;
        } else if (name == "--vars" || name == "--data" || name == "--data-name") {
            if (!takeValue())
                return false;
            if (value.empty()) {
                strError = "option " + name + " needs a value";
                return false;
            }
            (name == "--vars" ? options.strVarsFile
             : name == "--data" ? options.strDataFile
                                : options.strDataName) = value;
        } else {
            strError = "unknown option " + name;
            return false;
        }
    }
    if (!options.strDataName.empty() && options.strDataFile.empty()) {
        strError = "--data-name needs --data";
        return false;
    }
    if (!options.bHelp && !options.bVersion && options.scripts.empty()) {
        strError = "no script given";
        return false;
    }
    return options.bHelp || options.bVersion || CheckScaleOptions(options.scale, strError);
}

SComponentChoice ChosenComponent(const SRunnerOptions& options, const STargetInfo& target) {
    const auto it = options.components.find(target.target);
    if (it == options.components.end())
        return ChooseComponent(target, {}, {}, options.tapes);
    return ChooseComponent(target, it->second, ComponentOption(target), options.tapes);
}
