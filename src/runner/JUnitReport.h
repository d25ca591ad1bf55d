// The JUnit XML report that CI test reporters read: one test suite per script, one test case per
// block, failures with every failed check and difference, the request and response in system-out.
// Texts are written as given: masking is the caller's.
#pragma once

#include <ostream>
#include <vector>

#include "runner/RunResult.h"

void WriteJUnitReport(std::ostream& out, const std::vector<SScriptResult>& scripts);
