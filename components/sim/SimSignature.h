// Pen strokes of a simulated signature pad, as "x,y:" points with "#,#:" lifting the pen.
#pragma once

#include <cstdint>
#include <string>

namespace tvxsim {

// A deterministic signature for a seed: three strokes (two letter groups and an underline) within
// x 10..420 and y 10..120, y growing downwards. Each stroke ends with the pen-up marker.
std::string MakeSignature(std::uint32_t seed);

} // namespace tvxsim
