// Text helpers of the simulated components: XML escaping, amounts in cents, hashing, trimming.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvxsim {

// Escapes &, < and > and turns control characters (which XML 1.0 forbids or a one-line value
// cannot hold) into blanks. AppendEscaped writes into out, so that answers need no temporaries.
std::string EscapeXml(std::string_view text);
void AppendEscaped(std::string& out, std::string_view text);
bool IsPlainText(std::string_view text); // nothing in it to escape

// Without the blanks and line breaks around it; a view into text.
std::string_view Trim(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool IsDigits(std::string_view text);

// At most max characters of text, with "..." when cut: keeps echoed values in messages short.
std::string Clip(std::string_view text, std::size_t max = 40);

// "12", "12.3" or "12.34" (no sign, at most 7 integer digits) to cents.
bool ParseAmount(std::string_view text, std::int64_t& cents);
std::string FormatAmount(std::int64_t cents);

// Zero-padded decimal of width digits (the value is taken modulo 10^width).
std::string Padded(std::uint64_t value, int width);

// 32-bit FNV-1a: the simulators' only source of variety, so every token is repeatable. Passing
// the hash of a first piece as start continues it: Fnv1a(b, Fnv1a(a)) == Fnv1a(a + b).
inline constexpr std::uint32_t kFnvOffsetBasis = 2166136261u;
std::uint32_t Fnv1a(std::string_view text, std::uint32_t start = kFnvOffsetBasis);

} // namespace tvxsim
