#pragma once
// Integer conversion with the runtime's rules.

#include <cstdint>
#include <string>

// Reads the number at the start of text: leading spaces skipped, an optional sign, then
// decimal digits, or hexadecimal ones after "$" or "0x". Reading stops at the first
// character that is not part of the number; no digits give 0. Values beyond the int64
// range saturate, so they stay out of any smaller range a caller checks.
int64_t StrToIntPrefix(const std::string& text);

// The whole text must be such a number (blanks around it allowed); otherwise
// EConvertError "'text' is not a valid integer value".
int64_t StrToInt(const std::string& text);
