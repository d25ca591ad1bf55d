// libFuzzer target: any bytes as a stored answer and a new one (split at the first NUL byte) through
// the known-good comparison.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runner/KnownGood.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\0');
    const CString stored(input.substr(0, cut));
    const CString actual(cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1));
    static const std::set<CString> ignored{"AuthCode", "RecordNo"};

    const std::vector<SDifference> differences = CompareAnswers(stored, actual, ignored);
    for (const SDifference& d : differences)
        if (d.strPath.empty() || d.strPath[0] != '/' || (d.strPath != "/" && d.strExpected == d.strActual))
            std::abort(); // every difference names a path, and a leaf's texts differ
    // An answer matches itself, and the comparison finds as many differences either way round.
    if (!CompareAnswers(stored, stored, ignored).empty() ||
        CompareAnswers(actual, stored, ignored).size() != differences.size())
        std::abort();
    return 0;
}
