// Cassettes: the calls made to the payment controls in one session, as plain text that round-trips
// any bytes (docs/replay.md).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "controls/PaymentTargets.h"
#include "platform/Component.h"

namespace tvxreplay {

// The cassette's first line; a file without it is no cassette.
inline constexpr std::string_view kCassetteMagic = "# tranvex cassette 1\n";

struct SRecordedCall {
    std::string strControl; // the target's name ("client", "device")
    std::string strMethod;
    int nDispid = 0;
    DispArgs args;
    bool bError = false;    // the call failed: strAnswer is the dispatch error's text
    std::string strAnswer;
    int nNumber = 0;        // as numbered in the cassette
    int nLine = 0;          // of its "call" line
};

// The text of one call, as appended to a cassette (nNumber counts from 1).
std::string FormatCall(int nNumber, const STargetInfo& target, int nDispid, const DispArgs& args,
                       bool bError, const std::string& strAnswer);

// The head of a new cassette: the magic line and a few lines saying how to read it.
std::string CassetteHead();

// Reads a whole cassette; false with one line naming the line at fault.
bool ReadCassette(std::string_view text, std::vector<SRecordedCall>& calls, std::string& strProblem);

} // namespace tvxreplay
