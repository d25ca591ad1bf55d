// CRatioReporter: the usual console table, plus each benchmark's time kept by function name (the
// median when repeated) so a program can print its figures as ratios to a baseline from the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include <unistd.h>

// The one line per figure that scripts/bench gathers into its table:
//   figure | <what> | <figure> | <baseline> | <ratio> | <goal>
// ratio is figure / baseline, "-" when there is no baseline. goal is "-" for a figure shown for comparison
// only, else one or more of "<= N" / ">= N" on the ratio and "<= N s" (or ms) on the figure's time,
// joined by ", ": "<= 1 s, <= 3" is met when both are. Each goal is written once, at its PrintFigure call.
inline void PrintFigure(const std::string& what, const std::string& figure, const std::string& baseline,
                        double ratio, const char* goal) {
    char ratioText[32] = "-";
    if (ratio > 0)
        std::snprintf(ratioText, sizeof ratioText, "%.2f", ratio);
    std::printf("figure | %s | %s | %s | %s | %s\n", what.c_str(), figure.c_str(), baseline.c_str(),
                ratioText, goal);
}

// A time in the unit that keeps three or four digits.
inline std::string FormatNs(double ns) {
    char text[32];
    if (ns >= 1e7)
        std::snprintf(text, sizeof text, "%.1f ms", ns / 1e6);
    else if (ns >= 1e4)
        std::snprintf(text, sizeof text, "%.1f us", ns / 1e3);
    else
        std::snprintf(text, sizeof text, "%.0f ns", ns);
    return text;
}

class CRatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal: a script reading the output wants plain lines.
    CRatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    // CPU time, or wall time for a benchmark that asks for it (UseRealTime, UseManualTime): what a user
    // waits for includes the disk, other processes and the display.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            const double time =
                run.run_name.time_type.empty() ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
            const double ns = time * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medianNs[name] = ns;
            else if (run.run_type == Run::RT_Iteration)
                m_lastNs[name] = ns;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Time of one iteration in ns, or 0 when the benchmark did not run.
    double NsOf(const std::string& function) const {
        for (const auto* times : {&m_medianNs, &m_lastNs})
            if (auto it = times->find(function); it != times->end())
                return it->second;
        return 0;
    }

    // The figure line for part's time against base's, when both ran.
    void PrintRatio(const std::string& what, const std::string& part, const std::string& base,
                    const char* goal) const {
        if (NsOf(part) > 0 && NsOf(base) > 0)
            PrintFigure(what, FormatNs(NsOf(part)), FormatNs(NsOf(base)), NsOf(part) / NsOf(base), goal);
    }

private:
    std::map<std::string, double> m_medianNs, m_lastNs;
};

// Runs the benchmarks chosen on the command line through one CRatioReporter, then hands it to
// figures, which prints the program's figure lines.
inline int RunBenchmarks(int argc, char** argv, const std::function<void(const CRatioReporter&)>& figures) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    figures(reporter);
    return 0;
}
