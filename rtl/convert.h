#pragma once
// The one text-to-number conversion of the program. Its rules, shared by address parsing,
// reply codes and the listing parser:
//   leading blanks are skipped; then an optional "+" or "-"; then either decimal digits, or a
//   "$" / "0x" / "0X" prefix followed by hexadecimal digits. Anything else, an empty digit
//   run, trailing characters (trailing blanks included) or a value outside the target range
//   fails. Hexadecimal values may use the full unsigned width (0xFFFFFFFF is -1 as int32).
// No locale is consulted.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavo::rtl {

bool TryStrToInt(std::string_view text, int32_t& value);
bool TryStrToInt64(std::string_view text, int64_t& value);

// Raise EConvertError "'<text>' is not a valid integer value" on failure.
int32_t StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);

int32_t StrToIntDef(std::string_view text, int32_t fallback);
int64_t StrToInt64Def(std::string_view text, int64_t fallback);

std::string IntToStr(int64_t value);

}  // namespace tavo::rtl
