// CRatioReporter: the usual console table, plus each benchmark's CPU time kept by function name (the
// median when repeated) so a program can print its figures as ratios to a baseline from the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            const double ns = run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medianNs[name] = ns;
            else if (run.run_type == Run::RT_Iteration)
                m_lastNs[name] = ns;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // CPU time of one iteration in ns, or 0 when the benchmark did not run.
    double NsOf(const std::string& function) const {
        for (const auto* times : {&m_medianNs, &m_lastNs})
            if (auto it = times->find(function); it != times->end())
                return it->second;
        return 0;
    }

    // Prints "what: ratio R (goal)" for part over base, when both ran.
    void PrintRatio(const char* what, const std::string& part, const std::string& base, const char* goal) const {
        if (NsOf(part) > 0 && NsOf(base) > 0)
            std::printf("%s: ratio %.2f (%s)\n", what, NsOf(part) / NsOf(base), goal);
    }

private:
    std::map<std::string, double> m_medianNs, m_lastNs;
};
