#pragma once
// The system's local date and time.

#include "rtl/datetime.h"

namespace tavo::platform {

// Now in the system's local time zone, to the millisecond (a leap second reads as :59).
rtl::TDateTime Now();

// A moment given in UTC as the system's local time zone names it (daylight saving time as it
// was then); 0 when either side lies outside what the system can convert.
rtl::TDateTime UtcToLocal(rtl::TDateTime AUtc);

}  // namespace tavo::platform
