// The one text-to-number conversion. Checks that the forms agree with each other: the raising
// forms raise exactly when the trying forms fail, the default forms give the default then,
// every value read comes back unchanged from its decimal text, and a decimal text that fits in
// 32 bits reads the same in 64.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "rtl/convert.h"
#include "rtl/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace rtl = tavo::rtl;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  int32_t v32 = 0;
  const bool ok32 = rtl::TryStrToInt(text, v32);
  int64_t v64 = 0;
  const bool ok64 = rtl::TryStrToInt64(text, v64);

  bool raised32 = false;
  try {
    TAVO_FUZZ_CHECK(rtl::StrToInt(text) == v32);
  } catch (const rtl::EConvertError&) {
    raised32 = true;
  }
  TAVO_FUZZ_CHECK(raised32 != ok32);
  bool raised64 = false;
  try {
    TAVO_FUZZ_CHECK(rtl::StrToInt64(text) == v64);
  } catch (const rtl::EConvertError&) {
    raised64 = true;
  }
  TAVO_FUZZ_CHECK(raised64 != ok64);
  TAVO_FUZZ_CHECK(rtl::StrToIntDef(text, 7) == (ok32 ? v32 : 7));
  TAVO_FUZZ_CHECK(rtl::StrToInt64Def(text, 7) == (ok64 ? v64 : 7));

  if (ok32) TAVO_FUZZ_CHECK(rtl::StrToInt(rtl::IntToStr(v32)) == v32);
  if (ok64) TAVO_FUZZ_CHECK(rtl::StrToInt64(rtl::IntToStr(v64)) == v64);
  const bool hex = text.find_first_of("$xX") != std::string_view::npos;
  if (ok32 && !hex) TAVO_FUZZ_CHECK(ok64 && v64 == v32);
  // Whatever reads as a number is blanks, a sign and digits (with a hexadecimal prefix).
  if (ok64) {
    for (char c : text)
      TAVO_FUZZ_CHECK(c == ' ' || c == '+' || c == '-' || c == '$' || c == 'x' || c == 'X' ||
                      (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
  }
  return 0;
}
