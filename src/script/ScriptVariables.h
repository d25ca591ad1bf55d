// ${NAME} in a script block: the variable sources in their order of precedence, and the substitution.
// Windowless: both programs substitute each block before it is parsed.
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/MfcTypes.h"

using CVariableMap = std::map<CString, CString>;

// Letters, digits and '_', not starting with a digit.
bool IsVariableName(std::string_view name);

// A variables file: NAME=VALUE lines; blank lines and lines starting with '#' are skipped; the value is
// the rest of the line as written (a CR before the LF is dropped). False with the line named on error.
bool ReadVariablesFile(std::istream& in, const CString& strFile, CVariableMap& variables, CString& strError);
bool ReadVariablesFile(const CString& strFile, CVariableMap& variables, CString& strError);

// "NAME=VALUE" as given on a command line; false with the reason.
bool ParseVariableAssignment(const CString& strText, CString& strName, CString& strValue, CString& strError);

class CScriptVariables {
public:
    // Layers are asked first-added first; the environment, when used, last of all.
    void AddLayer(CVariableMap layer) { m_layers.push_back(std::move(layer)); }
    void UseEnvironment(bool bUse) { m_bEnvironment = bUse; }

    std::optional<CString> Find(const CString& strName) const;

    // The block with every ${NAME} replaced by its value escaped for XML, and every $${ by ${. False
    // with a message naming the variable (or the unfinished reference) and strBlock, e.g. "block 2 of
    // s.xml". A text with no "${" comes back unchanged.
    bool Substitute(std::string_view text, const CString& strBlock, CString& strOut, CString& strError) const;
    // The same with values inserted as written, for text that is not XML (the note before a block).
    bool SubstitutePlain(std::string_view text, const CString& strBlock, CString& strOut,
                         CString& strError) const;

private:
    bool Expand(std::string_view text, const CString& strBlock, bool bEscape, CString& strOut,
                CString& strError) const;

    std::vector<CVariableMap> m_layers;
    bool m_bEnvironment = false;
};

// A value as XML character data or attribute text: & < > " ' escaped, and CR as &#13; so that a
// parser's line-end normalisation keeps it.
CString EscapeVariableValue(std::string_view value);

// The window's variables: the file named by TRANVEX_VARS (when set), then the environment. False
// with the reason when that file cannot be read.
bool WindowVariables(CScriptVariables& variables, CString& strError);

// The window's text of a stored block (nBlock from 1, of the script at strPath): substituted with
// WindowVariables. A block with no "${" is returned as stored and nothing else is read.
bool ExpandWindowBlock(const CString& strStored, int nBlock, const CString& strPath, CString& strText,
                       CString& strError);
