// Writing and reading cassettes. Every text is a "<kind> <length>" line, then exactly that many
// bytes and a newline, so a request or answer is kept byte for byte and still reads as itself.
#include "replay/Cassette.h"

#include <algorithm>
#include <charconv>

namespace tvxreplay {

namespace {

void AppendText(std::string& out, std::string_view kind, std::string_view text) {
    out.append(kind).append(" ").append(std::to_string(text.size())).append("\n");
    out.append(text).append("\n");
}

// Reads the cassette line by line, and length-counted texts between the lines.
class CCassetteReader {
public:
    explicit CCassetteReader(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_nPos >= m_text.size(); }
    int Line() const { return m_nLine; }

    // The next line without its newline; false at the end or on a line with no newline.
    bool NextLine(std::string_view& line) {
        if (AtEnd())
            return false;
        const std::size_t end = m_text.find('\n', m_nPos);
        if (end == std::string_view::npos)
            return false;
        line = m_text.substr(m_nPos, end - m_nPos);
        m_nPos = end + 1;
        ++m_nLine;
        return true;
    }

    // nLength bytes and the newline after them.
    bool Text(std::size_t nLength, std::string& out) {
        if (m_text.size() - m_nPos < nLength + 1 || m_text[m_nPos + nLength] != '\n')
            return false;
        out.assign(m_text.substr(m_nPos, nLength));
        const std::string_view bytes = m_text.substr(m_nPos, nLength);
        m_nLine += static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
        m_nPos += nLength + 1;
        ++m_nLine;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_nPos = 0;
    int m_nLine = 0;
};

// Splits "a b c" at single spaces.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos)
            end = line.size();
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

template <typename Int> bool ParseNumber(std::string_view text, Int& value) {
    if (text.empty() || (text.size() > 1 && text[0] == '0'))
        return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

} // namespace

std::string CassetteHead() {
    std::string head(kCassetteMagic);
    head += "# Each call: \"call N CONTROL METHOD DISPID\", its arguments, its answer (or error), \"end\".\n"
            "# A text is \"KIND LENGTH\", then exactly LENGTH bytes and a newline.\n";
    return head;
}

std::string FormatCall(int nNumber, const STargetInfo& target, int nDispid, const DispArgs& args, bool bError,
                       const std::string& strAnswer) {
    std::string out = "\ncall ";
    out.append(std::to_string(nNumber)).append(" ").append(target.pszName).append(" ");
    const char* method = MethodName(target, nDispid);
    out += method ? method : "?";
    out.append(" ").append(std::to_string(nDispid)).append("\n");
    for (const DispArg& arg : args) {
        if (const auto* text = std::get_if<std::string>(&arg))
            AppendText(out, "text", *text);
        else
            out.append("int ").append(std::to_string(std::get<std::int16_t>(arg))).append("\n");
    }
    AppendText(out, bError ? "error" : "answer", strAnswer);
    out += "end\n";
    return out;
}

bool ReadCassette(std::string_view text, std::vector<SRecordedCall>& calls, std::string& strProblem) {
    calls.clear();
    if (text.substr(0, kCassetteMagic.size()) != kCassetteMagic) {
        strProblem = "not a cassette (its first line is not \"" +
                     std::string(kCassetteMagic.substr(0, kCassetteMagic.size() - 1)) + "\")";
        return false;
    }
    CCassetteReader reader(text);
    const auto fail = [&](const std::string& what) {
        strProblem = "line " + std::to_string(reader.Line()) + ": " + what;
        calls.clear();
        return false;
    };
    std::string_view line;
    SRecordedCall* call = nullptr; // the call being read, until its "end"
    while (!reader.AtEnd()) {
        if (!reader.NextLine(line))
            return fail("cut short (the last line has no end)");
        if (!call && (line.empty() || line.front() == '#'))
            continue;
        const std::vector<std::string_view> words = Words(line);
        if (!call) {
            SRecordedCall next;
            const STargetInfo* target = words.size() == 5 ? FindTargetNamed(words[2]) : nullptr;
            if (words.size() != 5 || words[0] != "call" || !ParseNumber(words[1], next.nNumber) || !target ||
                !ParseNumber(words[4], next.nDispid))
                return fail("expected \"call N CONTROL METHOD DISPID\", found \"" + std::string(line) + "\"");
            // A call to a DISPID the control lacks is recorded too, under "?", with its error.
            const char* method = MethodName(*target, next.nDispid);
            if (!method)
                method = "?";
            if (words[3] != method)
                return fail("the " + std::string(target->pszName) + " control has no method " +
                            std::string(words[3]) + " at DISPID " + std::string(words[4]));
            next.strControl = target->pszName;
            next.strMethod = method;
            next.nLine = reader.Line();
            calls.push_back(std::move(next));
            call = &calls.back();
            continue;
        }
        if (line == "end")
            return fail("call " + std::to_string(call->nNumber) + " ends without an answer");
        std::size_t nLength = 0;
        std::int16_t nValue = 0;
        if (words.size() == 2 && words[0] == "int" && ParseNumber(words[1], nValue))
            call->args.emplace_back(nValue);
        else if (words.size() == 2 && (words[0] == "text" || words[0] == "answer" || words[0] == "error") &&
                 ParseNumber(words[1], nLength)) {
            std::string value;
            if (!reader.Text(nLength, value))
                return fail("cut short in call " + std::to_string(call->nNumber) + " (a " +
                            std::string(words[0]) + " of " + std::string(words[1]) + " bytes)");
            if (words[0] == "text")
                call->args.emplace_back(std::move(value));
            else {
                call->bError = words[0] == "error";
                call->strAnswer = std::move(value);
                if (!reader.NextLine(line) || line != "end")
                    return fail("call " + std::to_string(call->nNumber) + " does not end after its answer");
                call = nullptr;
            }
        } else
            return fail("expected an argument or an answer, found \"" + std::string(line) + "\"");
    }
    if (call)
        return fail("cut short in call " + std::to_string(call->nNumber) + " (no answer)");
    return true;
}

} // namespace tvxreplay
