// libFuzzer target: any bytes as a transaction script through the splitter, checked against a plain
// line-by-line reading of the same rules built only from std::string::find.
#include "script/ScriptSplitter.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace {

struct Reference {
    std::istringstream file;
    CStringArray messages;

    bool Has(const CString& line, const char* text) { return line.find(text) != CString::npos; }

    bool Raw(CString& line) {
        if (!std::getline(file, line))
            return false;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    }

    bool Significant(CString& line) {
        do {
            if (!Raw(line))
                return Eof();
        } while (line.find_first_not_of(" \t") == CString::npos);
        while (Has(line, "<!--")) {
            while (!Has(line, "-->"))
                if (!Raw(line))
                    return Eof();
            do {
                if (!Raw(line))
                    return Eof();
            } while (line.find_first_not_of(" \t") == CString::npos);
        }
        return true;
    }

    bool Eof() {
        messages.push_back("Premature End-of-File");
        return false;
    }

    bool Opens(const CString& l) {
        return Has(l, "<Transaction>") || Has(l, "<Admin>") || Has(l, "<Corvane>");
    }
    bool Closes(const CString& l) {
        return Has(l, "</Transaction>") || Has(l, "</Admin>") || Has(l, "</Corvane>");
    }

    void Split(CStringArray& out) {
        CString line, head;
        if (!Significant(line))
            return;
        if (!Has(line, "<?xml version=")) {
            messages.push_back("No ?xml version at top of file");
            return;
        }
        head = line + "\r\n";
        if (!Significant(line))
            return;
        if (!Has(line, "<TStream>")) {
            messages.push_back("No <TStream> in XML");
            return;
        }
        head += line + "\r\n";
        if (!Significant(line))
            return;
        while (Opens(line)) {
            CString text = head;
            while (!Closes(line)) {
                text += line + "\r\n";
                if (!Significant(line))
                    return;
            }
            out.push_back(text + line + "\r\n</TStream>");
            if (!Significant(line))
                return;
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    Reference reference{std::istringstream(script), {}};
    CStringArray expected;
    reference.Split(expected);

    // Fuzz inputs are far shorter than the reader's chunk, so a small chunk is tried as well: it
    // puts chunk edges inside lines and tags.
    for (const std::size_t chunk : {CScriptLineReader::kChunk, 1 + size % 23}) {
        std::istringstream file(script);
        CStringArray messages;
        CScriptSplitter splitter(
            file, [&](const CString& m) { messages.push_back(m); }, chunk);
        CStringArray texts;
        splitter.SplitScript(texts);
        if (texts != expected || messages != reference.messages)
            std::abort();
    }
    return 0;
}
