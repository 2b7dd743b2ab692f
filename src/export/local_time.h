#pragma once
// The wall clock in the person's own time zone, the one platform call the
// export needs.

#include <ctime>

namespace tvi {

// The current date and time, broken down in local time.
std::tm localNow();

}  // namespace tvi
