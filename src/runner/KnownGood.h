// Known-good answers: responses stored from a run that was judged right, and the comparison of a
// later response with them, leaf element by leaf element.
#pragma once

#include <filesystem>
#include <set>
#include <vector>

#include "platform/MfcTypes.h"
#include "runner/RunResult.h"

// DIR/<script name>/<block number>.xml
std::filesystem::path KnownGoodFile(const std::filesystem::path& dir, const CString& strScript, int nBlock);

// Every difference of the leaf elements (elements without child elements), each named by its path
// (/RStream/TranResponse/AuthCode; a repeated name gets its place, Item[2]): text changed, leaf only
// in one of them. A leaf whose path holds an ignored name is left out. A text that is not XML is one
// difference at path "/".
std::vector<SDifference> CompareAnswers(const CString& strKnownGood, const CString& strActual,
                                        const std::set<CString>& ignored);
