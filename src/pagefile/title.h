// The rules for page titles, which are page file base names.
//
// A title may not contain the bytes 1 to 31 nor / \ : * ? " < > |, and may have at most
// 254 minus the page folder path's length bytes, so that folder, separator, title and ".twp" fit
// in 260. Lengths are in bytes; a cut never splits a UTF-8 sequence. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/checking_options.h"

namespace tw {

inline constexpr std::string_view kPageFileSuffix = ".twp";

enum class TitleProblem { kNone, kEmpty, kInvalidCharacter, kTooLong };

// The longest title a page in `folder` may have is MaxTitleLength(folder) (checking_options.h),
// 0 when the folder path is already too long.
TitleProblem CheckTitle(std::string_view title, std::string_view folder);
// The title made usable as a file name: 1-31, * and ? become #; / : \ and | become -;
// " becomes '; < becomes [; > becomes ].
std::string MakeTitleUsable(std::string_view title);
// folder + "/" + title + ".twp".
std::string PagePath(const std::string& folder, std::string_view title);
// The title of a page file name: the name without the part from its last dot on.
std::string TitleOfFileName(std::string_view file_name);

}  // namespace tw
