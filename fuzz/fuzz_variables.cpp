// libFuzzer target: any bytes as a variables file and a script block (split at the first NUL byte).
// A text with no "${" comes back unchanged; both substitutions agree on what they refuse and why;
// and any value read, put in a document as element text, reads back as itself.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "script/ScriptVariables.h"
#include "xml/XmlDocHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view file = input.substr(0, nul);
    const std::string_view text = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

    std::istringstream in{std::string(file)};
    CVariableMap layer;
    CString error;
    if (!ReadVariablesFile(in, "v.env", layer, error)) {
        if (!error.starts_with("v.env:"))
            std::abort(); // a refusal names its line
        layer.clear();
    }
    for (const auto& [name, value] : layer)
        if (!IsVariableName(name) || value.find('\n') != CString::npos)
            std::abort();

    CScriptVariables variables;
    variables.AddLayer(layer);
    CString escaped, plain, escapedError, plainError;
    const bool bEscaped = variables.Substitute(text, "block 1 of s.xml", escaped, escapedError);
    const bool bPlain = variables.SubstitutePlain(text, "block 1 of s.xml", plain, plainError);
    if (bEscaped != bPlain || escapedError != plainError)
        std::abort();
    if (!bEscaped && escapedError.find("block 1 of s.xml") == CString::npos)
        std::abort();
    if (text.find("${") == std::string_view::npos && (!bEscaped || escaped != text || plain != text))
        std::abort();

    // Element text: every value stays the value, markup characters and line ends included. (Text of
    // blanks alone is dropped by the document reader, as it is when written in a script.)
    for (const auto& [name, value] : layer) {
        if (value.find('\0') != CString::npos || value.find_first_not_of(" \t\r\n") == CString::npos)
            continue;
        CString document;
        if (!variables.Substitute("<?xml version=\"1.0\"?>\n<T><V>${" + name + "}</V></T>", "b", document,
                                  error))
            std::abort();
        CXmlDocHelper doc;
        if (!doc.Load(document) || doc.GetValue("V") != value)
            std::abort();
    }
    return 0;
}
