// Windows smoke program for the cross-build: touches each layer once and prints what it found.
// Run under a Windows emulator it shows the Win32 backends answer, not only link.

#include <cstdio>

#include "rtl/convert.h"
#include "rtl/streams.h"

int main() {
  tavo::rtl::TMemoryStream memory;
  memory.Write("42", 2);
  std::printf("rtl: %d\n", tavo::rtl::StrToInt(memory.DataString()));
  return 0;
}
