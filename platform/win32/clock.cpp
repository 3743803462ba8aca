#include "platform/clock.h"

#include <windows.h>

namespace tavo::platform {

rtl::TDateTime Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  rtl::TDateTime date = 0, time = 0;
  if (!rtl::TryEncodeDate(st.wYear, st.wMonth, st.wDay, date) ||
      !rtl::TryEncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, time))
    return 0;
  return rtl::ComposeDateTime(date, time);
}

}  // namespace tavo::platform
