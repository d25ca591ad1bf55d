// Expanding the scripts and the data rows into run units.
#include "runner/RunUnits.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "runner/DataSet.h"

namespace {

// --vars, else TRANVEX_VARS; neither is no file.
bool FileVariables(const SRunnerOptions& options, CVariableMap& variables, CString& strError) {
    CString strFile = options.strVarsFile;
    if (strFile.empty())
        if (const char* env = std::getenv("TRANVEX_VARS"))
            strFile = env;
    if (strFile.empty())
        return true;
    if (ReadVariablesFile(strFile, variables, strError))
        return true;
    strError = (options.strVarsFile.empty() ? "TRANVEX_VARS: " : "--vars: ") + strError;
    return false;
}

CString Stem(const CString& strScript) { return std::filesystem::path(strScript).stem().string(); }

} // namespace

bool MakeRunUnits(const SRunnerOptions& options, std::vector<SRunUnit>& units, CString& strError) {
    CVariableMap fromFile;
    if (!FileVariables(options, fromFile, strError))
        return false;
    CScriptVariables base;
    base.AddLayer(options.variables);
    base.AddLayer(fromFile);
    base.UseEnvironment(true);

    if (options.strDataFile.empty()) {
        for (const CString& strScript : options.scripts)
            units.push_back({strScript, 0, {}, base});
        return true;
    }

    SDataSet data;
    if (!ReadDataSet(options.strDataFile, data, strError)) {
        strError = "--data: " + strError;
        return false;
    }
    std::size_t nNameColumn = data.columns.size();
    if (!options.strDataName.empty()) {
        nNameColumn = std::find(data.columns.begin(), data.columns.end(), options.strDataName) -
                      data.columns.begin();
        if (nNameColumn == data.columns.size()) {
            strError = "--data-name: " + options.strDataFile + " has no column " + options.strDataName;
            return false;
        }
    }
    // Named rows must stay apart: their suites, and their known-good folders, are found by name.
    std::map<CString, int> named;
    for (std::size_t r = 0; r < data.rows.size(); ++r) {
        const SDataRow& row = data.rows[r];
        CVariableMap columns;
        for (std::size_t c = 0; c < data.columns.size(); ++c)
            columns[data.columns[c]] = row.fields[c];
        const CString strRowName =
            nNameColumn < data.columns.size() ? row.fields[nNameColumn] : "row " + std::to_string(r + 1);
        if (nNameColumn < data.columns.size()) {
            if (strRowName.empty()) {
                strError = "--data-name: " + options.strDataFile + ":" + std::to_string(row.nLine) + ": " +
                           options.strDataName + " is empty";
                return false;
            }
            if (const auto [it, bNew] = named.emplace(strRowName, row.nLine); !bNew) {
                strError = "--data-name: " + options.strDataFile + ": lines " + std::to_string(it->second) +
                           " and " + std::to_string(row.nLine) + " are both named \"" + strRowName + "\"";
                return false;
            }
        }
        for (const CString& strScript : options.scripts) {
            SRunUnit unit{strScript, static_cast<int>(r), {}, {}};
            // One script named by a column takes the column's value alone.
            unit.strSuite = nNameColumn < data.columns.size() && options.scripts.size() == 1
                                ? strRowName
                                : Stem(strScript) + " [" + strRowName + "]";
            unit.variables.AddLayer(columns);
            unit.variables.AddLayer(options.variables);
            unit.variables.AddLayer(fromFile);
            unit.variables.UseEnvironment(true);
            units.push_back(std::move(unit));
        }
    }
    return true;
}
