// libFuzzer target: any bytes as a transaction script through the splitter, checked against a plain
// line-by-line reading of the same rules built only from std::string::find; and the file line of each
// stored line.
#include "script/ScriptSplitter.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>
#include <vector>

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

// The file's lines as the reference reads them.
CStringArray FileLines(const std::string& script) {
    Reference reader{std::istringstream(script), {}};
    CStringArray lines;
    for (CString line; reader.Raw(line);)
        lines.push_back(line);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    Reference reference{std::istringstream(script), {}};
    CStringArray expected;
    reference.Split(expected);

    std::istringstream file(script);
    CStringArray messages;
    CScriptSplitter splitter(file, [&](const CString& m) { messages.push_back(m); });
    CStringArray texts;
    std::vector<SBlockNote> notes;
    splitter.SplitScript(texts, notes);
    if (texts != expected || messages != reference.messages || notes.size() != texts.size())
        std::abort();

    // Each stored line but the added "</TStream>" is the file's line its note names, in file order.
    const CStringArray lines = FileLines(script);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string_view text = texts[i];
        int previous = 0;
        for (const int nLine : notes[i].arrFileLines) {
            const std::size_t end = text.find("\r\n");
            if (end == std::string_view::npos || nLine <= previous ||
                nLine > static_cast<int>(lines.size()) || text.substr(0, end) != lines[nLine - 1])
                std::abort();
            text.remove_prefix(end + 2);
            previous = nLine;
        }
        if (text != "</TStream>")
            std::abort();
    }
    return 0;
}
