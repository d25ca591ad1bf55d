// Reading Expect notes and checking responses against them.
#include "runner/ExpectNote.h"

#include <algorithm>
#include <cctype>

#include "runner/TextScan.h"
#include "xml/XmlDocHelper.h"

namespace {

constexpr std::string_view kMarker = "Expect:";
constexpr const char* kAbsent = "(absent)";

bool IsElementName(std::string_view name) {
    if (name.empty())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const bool letter = std::isalpha(c) || c == '_' || c == ':' || c >= 0x80;
        if (!(letter || (i > 0 && (std::isdigit(c) || c == '-' || c == '.'))))
            return false;
    }
    return true;
}

SCheckResult Unreadable(std::string_view text, const CString& why) {
    return {CString(text), "Expect", "a check (" + why + ")", CString(text), false};
}

// One check as written; false with the reason when it cannot be read.
bool ReadCheck(std::string_view text, SCheck& check, CString& why) {
    check.strText = text;
    if (text.front() == '!') {
        check.kind = SCheck::eAbsent;
        check.strName = TrimBlanks(text.substr(1));
    } else if (const auto op = FindFirst(text, [](char c) { return c == '=' || c == '~'; });
               op != std::string_view::npos) {
        check.strName = TrimBlanks(text.substr(0, op));
        check.strValue = TrimBlanks(text.substr(op + 1));
        if (text[op] == '~') {
            check.kind = SCheck::eMatches;
            try {
                check.pPattern = std::make_shared<const std::regex>(check.strValue, std::regex::ECMAScript);
            } catch (const std::regex_error& e) {
                why = CString("bad pattern: ") + e.what();
                return false;
            }
        } else {
            check.kind = check.strValue == "*" ? SCheck::ePresent : SCheck::eEquals;
        }
    } else {
        check.kind = SCheck::eEquals;
        check.strName = "CmdStatus";
        check.strValue = text;
        return true;
    }
    if (!IsElementName(check.strName)) {
        why = "not an element name: \"" + check.strName + "\"";
        return false;
    }
    return true;
}

CString Quoted(const CString& text) {
    CString quoted;
    quoted.reserve(text.size() + 2);
    return quoted.append(1, '"').append(text).append(1, '"');
}

} // namespace

SExpectNote ParseExpectNote(std::string_view comment) {
    SExpectNote note;
    const auto marker = comment.find(kMarker);
    if (marker == std::string_view::npos)
        return note;
    std::string_view rest = comment.substr(marker + kMarker.size());
    const auto isSeparator = [](char c) { return c == ';' || IsLineEnd(c); };
    note.checks.reserve(static_cast<std::size_t>(std::count_if(rest.begin(), rest.end(), isSeparator)) + 1);
    while (!rest.empty()) {
        const auto end = FindFirst(rest, isSeparator);
        const std::string_view text = TrimBlanks(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (text.empty())
            continue;
        SCheck check;
        CString why;
        if (ReadCheck(text, check, why))
            note.checks.push_back(std::move(check));
        else
            note.errors.push_back(Unreadable(text, why));
    }
    return note;
}

SCheckResult EvaluateCheck(const SCheck& check, CXmlDocHelper& response) {
    SCheckResult result{check.strText, check.strName, {}, kAbsent, false};
    CString actual;
    const bool present = response.ReadValue(check.strName, actual); // one lookup: false when absent
    if (present)
        result.strActual = Quoted(actual);
    switch (check.kind) {
    case SCheck::eEquals:
        result.strExpected = Quoted(check.strValue);
        result.bPassed = present && actual == check.strValue;
        break;
    case SCheck::eMatches:
        result.strExpected = "a match of /" + check.strValue + "/";
        try {
            result.bPassed = present && std::regex_search(actual, *check.pPattern);
        } catch (const std::regex_error& e) { // a pattern too costly for this text
            result.strExpected += CString(" (") + e.what() + ")";
        }
        break;
    case SCheck::ePresent:
        result.strExpected = "a value";
        result.bPassed = present && !actual.empty();
        break;
    case SCheck::eAbsent:
        result.strExpected = kAbsent;
        result.bPassed = !present;
        break;
    }
    return result;
}
