#include "rtl/convert.h"

#include <limits>

#include "resources/rtl_texts.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace tavo::rtl {
namespace {

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses into a magnitude no larger than `limit`; the caller applies sign and range.
bool ParseMagnitude(std::string_view text, uint64_t limit_dec_pos, uint64_t limit_dec_neg,
                    uint64_t limit_hex, bool& negative, uint64_t& magnitude, bool& hex) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  const uint64_t limit = hex ? limit_hex : (negative ? limit_dec_neg : limit_dec_pos);
  const uint64_t base = hex ? 16 : 10;
  magnitude = 0;
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i], hex);
    if (d < 0) return false;
    if (magnitude > (limit - static_cast<uint64_t>(d)) / base) return false;
    magnitude = magnitude * base + static_cast<uint64_t>(d);
  }
  return true;
}

template <typename T>
bool TryParse(std::string_view text, T& value) {
  using U = std::make_unsigned_t<T>;
  const uint64_t max_pos = static_cast<uint64_t>(std::numeric_limits<T>::max());
  const uint64_t max_neg = max_pos + 1;
  const uint64_t max_hex = static_cast<uint64_t>(std::numeric_limits<U>::max());
  bool negative = false, hex = false;
  uint64_t magnitude = 0;
  if (!ParseMagnitude(text, max_pos, max_neg, max_hex, negative, magnitude, hex)) return false;
  // Two's complement wrap is what a hexadecimal bit pattern means.
  U bits = static_cast<U>(magnitude);
  if (negative) bits = static_cast<U>(U{0} - bits);
  value = static_cast<T>(bits);
  return true;
}

[[noreturn]] void RaiseConvertError(std::string_view text) {
  throw EConvertError(Format(res::kInvalidInteger, {std::string(text)}));
}

}  // namespace

bool TryStrToInt(std::string_view text, int32_t& value) { return TryParse(text, value); }
bool TryStrToInt64(std::string_view text, int64_t& value) { return TryParse(text, value); }

int32_t StrToInt(std::string_view text) {
  int32_t v = 0;
  if (!TryStrToInt(text, v)) RaiseConvertError(text);
  return v;
}

int64_t StrToInt64(std::string_view text) {
  int64_t v = 0;
  if (!TryStrToInt64(text, v)) RaiseConvertError(text);
  return v;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  int32_t v = 0;
  return TryStrToInt(text, v) ? v : fallback;
}

int64_t StrToInt64Def(std::string_view text, int64_t fallback) {
  int64_t v = 0;
  return TryStrToInt64(text, v) ? v : fallback;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

}  // namespace tavo::rtl
