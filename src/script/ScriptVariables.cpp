// Variable sources and ${NAME} substitution for script blocks.
#include "script/ScriptVariables.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

bool IsVariableName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (const char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

bool ReadVariablesFile(std::istream& in, const CString& strFile, CVariableMap& variables, CString& strError) {
    CString line;
    for (int nLine = 1; std::getline(in, line); ++nLine) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == CString::npos || line[first] == '#')
            continue;
        const std::size_t eq = line.find('=');
        CString strName = eq == CString::npos ? CString() : line.substr(0, eq);
        const std::size_t last = strName.find_last_not_of(" \t");
        strName = last == CString::npos ? CString() : strName.substr(first, last + 1 - first);
        if (eq == CString::npos || !IsVariableName(strName)) {
            strError = strFile + ":" + std::to_string(nLine) + ": not NAME=VALUE";
            return false;
        }
        variables[strName] = line.substr(eq + 1);
    }
    if (in.bad()) {
        strError = "cannot read " + strFile;
        return false;
    }
    return true;
}

bool ReadVariablesFile(const CString& strFile, CVariableMap& variables, CString& strError) {
    std::ifstream in(strFile, std::ios::binary);
    if (!in) {
        strError = "cannot read the variables file " + strFile;
        return false;
    }
    return ReadVariablesFile(in, strFile, variables, strError);
}

bool ParseVariableAssignment(const CString& strText, CString& strName, CString& strValue, CString& strError) {
    const std::size_t eq = strText.find('=');
    strName = strText.substr(0, eq);
    if (eq == CString::npos || !IsVariableName(strName)) {
        strError = "--var needs NAME=VALUE, not \"" + strText + "\"";
        return false;
    }
    strValue = strText.substr(eq + 1);
    return true;
}

std::optional<CString> CScriptVariables::Find(const CString& strName) const {
    for (const CVariableMap& layer : m_layers)
        if (const auto it = layer.find(strName); it != layer.end())
            return it->second;
    if (m_bEnvironment)
        if (const char* value = std::getenv(strName.c_str()))
            return CString(value);
    return std::nullopt;
}

CString EscapeVariableValue(std::string_view value) {
    CString out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
    return out;
}

bool CScriptVariables::Substitute(std::string_view text, const CString& strBlock, CString& strOut,
                                  CString& strError) const {
    return Expand(text, strBlock, true, strOut, strError);
}

bool CScriptVariables::SubstitutePlain(std::string_view text, const CString& strBlock, CString& strOut,
                                       CString& strError) const {
    return Expand(text, strBlock, false, strOut, strError);
}

bool CScriptVariables::Expand(std::string_view text, const CString& strBlock, bool bEscape, CString& strOut,
                              CString& strError) const {
    if (text.find("${") == std::string_view::npos) {
        strOut.assign(text);
        return true;
    }
    CString out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t dollar = text.find('$', i);
        if (dollar == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, dollar - i));
        const std::string_view rest = text.substr(dollar);
        if (rest.starts_with("$${")) { // the escape for a literal ${
            out += "${";
            i = dollar + 3;
        } else if (rest.starts_with("${")) {
            const std::size_t close = rest.find('}');
            // A reference stops at the first character that cannot be in a name.
            const std::size_t stop = rest.find_first_of("}\r\n<>\"'&$ \t", 2);
            if (close == std::string_view::npos || stop != close) {
                strError = "Unterminated ${ in " + strBlock + ": \"" +
                           CString(rest.substr(0, std::min<std::size_t>(rest.size(), 20))) + "\"";
                return false;
            }
            const CString strName(rest.substr(2, close - 2));
            if (!IsVariableName(strName)) {
                strError = "Bad variable name ${" + strName + "} in " + strBlock;
                return false;
            }
            const std::optional<CString> value = Find(strName);
            if (!value) {
                strError = "Undefined variable ${" + strName + "} in " + strBlock;
                return false;
            }
            out += bEscape ? EscapeVariableValue(*value) : *value;
            i = dollar + close + 1;
        } else { // a '$' not followed by '{' is plain text
            out += '$';
            i = dollar + 1;
        }
    }
    strOut = std::move(out);
    return true;
}

bool WindowVariables(CScriptVariables& variables, CString& strError) {
    if (const char* file = std::getenv("TRANVEX_VARS"); file && *file) {
        CVariableMap layer;
        if (!ReadVariablesFile(file, layer, strError)) {
            strError = "TRANVEX_VARS: " + strError;
            return false;
        }
        variables.AddLayer(std::move(layer));
    }
    variables.UseEnvironment(true);
    return true;
}

bool ExpandWindowBlock(const CString& strStored, int nBlock, const CString& strPath, CString& strText,
                       CString& strError) {
    if (strStored.find("${") == CString::npos) {
        strText = strStored;
        return true;
    }
    CScriptVariables variables;
    if (!WindowVariables(variables, strError))
        return false;
    const CString strBlock =
        "block " + std::to_string(nBlock) + " of " + std::filesystem::path(strPath).filename().string();
    return variables.Substitute(strStored, strBlock, strText, strError);
}
