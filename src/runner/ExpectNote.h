// Expect notes: checks written in the comment before a block, and how a response meets them.
//   Expect: Approved                 CmdStatus equals Approved
//   Expect: Name=value; Name~regex;  equals; ECMAScript search
//           Name=*; !Name            present and not empty; absent
// Checks are separated by ';' or line breaks and run to the end of the comment.
#pragma once

#include <memory>
#include <regex>
#include <string_view>
#include <vector>

#include "platform/MfcTypes.h"
#include "runner/RunResult.h"

class CXmlDocHelper;

struct SCheck {
    enum EKind { eEquals, eMatches, ePresent, eAbsent };
    EKind kind = eEquals;
    CString strText;  // as written
    CString strName;  // the response element
    CString strValue; // eEquals: the text; eMatches: the pattern
    std::shared_ptr<const std::regex> pPattern;
};

struct SExpectNote {
    std::vector<SCheck> checks;
    std::vector<SCheckResult> errors; // checks that could not be read: failed results naming why
};

// The checks of a comment's text (what lies between "<!--" and "-->"); none without "Expect:".
SExpectNote ParseExpectNote(std::string_view comment);

// The check against a parsed response, found as Run It finds elements.
SCheckResult EvaluateCheck(const SCheck& check, CXmlDocHelper& response);
