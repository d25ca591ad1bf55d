// Pen strokes of a simulated signature pad.
#include "sim/SimSignature.h"

#include <algorithm>

namespace tvxsim {

namespace {

// xorshift32: small jitter that repeats for a seed.
struct CJitter {
    std::uint32_t state;
    int Next(int span) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int>(state % static_cast<std::uint32_t>(2 * span + 1)) - span;
    }
};

void Point(std::string& out, int x, int y) {
    out += std::to_string(std::clamp(x, 10, 420)) + "," + std::to_string(std::clamp(y, 10, 120)) + ":";
}

// A run of loops: a triangle wave whose height changes from letter to letter. Returns where the
// pen stopped.
int Letters(std::string& out, CJitter& jitter, int x, int baseline, int letters) {
    for (int letter = 0; letter < letters; ++letter) {
        int height = 12 + (jitter.Next(8) + 8);
        for (int step = 0; step < 8; ++step) {
            int phase = step < 4 ? step : 8 - step; // 0..4..1
            Point(out, x, baseline - height * phase / 4 + jitter.Next(1));
            x += 3 + jitter.Next(1);
        }
    }
    Point(out, x, baseline);
    out += "#,#:";
    return x;
}

} // namespace

std::string MakeSignature(std::uint32_t seed) {
    CJitter jitter{seed | 1u};
    std::string out;
    int start = 20 + (jitter.Next(5) + 5);
    int end = Letters(out, jitter, start, 70, 4 + (jitter.Next(1) + 1));
    end = Letters(out, jitter, end + 12, 74, 5 + (jitter.Next(1) + 1));
    int y = 96 + jitter.Next(3);
    for (int x = start - 5; x <= end + 10; x += 15)
        Point(out, x, y + (x / 15) % 2);
    out += "#,#:";
    return out;
}

} // namespace tvxsim
