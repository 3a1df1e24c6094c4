#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vexel {

// Framework strings are sequences of 16-bit code units.
using String = std::u16string;

// UTF-8 is what the operating system sees (paths, window titles, exception texts).
// Unpaired surrogates are written as U+FFFD; malformed input bytes decode to U+FFFD.
// @{
std::string ToUtf8(std::u16string_view text);
String FromUtf8(std::string_view bytes);
// @}

// One byte per code unit: the low 8 bits going out, the byte value coming in.
// @{
std::string ToBytes(std::u16string_view text);
String FromBytes(std::string_view bytes);
// @}

// Decimal text of numbers.
String IntToString(int64_t value);

// The runtime's text-to-number rule: skip leading white space, an optional sign, then "%"
// for binary, "$" for hexadecimal (either case) or decimal digits; stop at the first other
// character. No digits gives 0. Values wrap to the result's width.
// @{
int32_t StringToInt(std::u16string_view text);
int64_t StringToLong(std::u16string_view text);
// @}

// Lower case for ASCII and Latin-1 letters, which is what path matching and protocol names
// need.
String ToLower(std::u16string_view text);

}  // namespace vexel
