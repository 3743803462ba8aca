#pragma once
// The system's local date and time.

#include "rtl/datetime.h"

namespace tavo::platform {

// Now in the system's local time zone, to the millisecond (a leap second reads as :59).
rtl::TDateTime Now();

}  // namespace tavo::platform
