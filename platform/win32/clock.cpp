#include "platform/clock.h"

#include <windows.h>

namespace tavo::platform {

namespace {

rtl::TDateTime FromSystemTime(const SYSTEMTIME& st) {
  rtl::TDateTime date = 0, time = 0;
  if (!rtl::TryEncodeDate(st.wYear, st.wMonth, st.wDay, date) ||
      !rtl::TryEncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, time))
    return 0;
  return rtl::ComposeDateTime(date, time);
}

}  // namespace

rtl::TDateTime Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return FromSystemTime(st);
}

rtl::TDateTime UtcToLocal(rtl::TDateTime AUtc) {
  rtl::TDateTimeParts parts;
  if (!rtl::DecodeDateTime(AUtc, parts) || parts.Year < 1601) return 0;
  SYSTEMTIME utc{};
  utc.wYear = static_cast<WORD>(parts.Year);
  utc.wMonth = static_cast<WORD>(parts.Month);
  utc.wDay = static_cast<WORD>(parts.Day);
  utc.wHour = static_cast<WORD>(parts.Hour);
  utc.wMinute = static_cast<WORD>(parts.Minute);
  utc.wSecond = static_cast<WORD>(parts.Second);
  utc.wMilliseconds = static_cast<WORD>(parts.MilliSecond);
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return 0;
  return FromSystemTime(local);
}

}  // namespace tavo::platform
