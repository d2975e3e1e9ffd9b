// The marker files of a page folder, through which processes coordinate:
//   "lock"  held with no sharing by the process whose check pass runs; its 4 bytes are zero
//   "crs"   a request to stop the running pass (empty)
//   "daa"   checking was stopped by the user; new pages are not checked on their own (empty)
//   "err"   held with no sharing while a process takes the error files (error_log.h)
#pragma once

#include <string_view>

namespace tw::marker {

inline constexpr std::string_view kLock = "lock";
inline constexpr std::string_view kStopRequest = "crs";
inline constexpr std::string_view kStoppedByUser = "daa";
inline constexpr std::string_view kErrorTaker = "err";

}  // namespace tw::marker
