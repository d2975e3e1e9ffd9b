// The string table: every numbered text the system shows or stores, with its number, and the
// user-facing texts that have no number.
//
// Texts are used exactly as they stand. Numbers matter beyond display: a page in error with
// `status` 1 stores the number of its message in `errorCode`, and HTTP status texts live at
// 10000 + status. A text without a number is never given one here, so that no invented number
// can clash with a stored one.
//
// Constant data; any thread may read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

namespace str {
inline constexpr uint32_t kCaption = 100;  // "Tidewell"
inline constexpr uint32_t kRootKey = 102;
inline constexpr uint32_t kAddCurrentPageCaption = 105;
inline constexpr uint32_t kFavoritesRoot = 119;
inline constexpr uint32_t kFavoritesLoadError = 128;
inline constexpr uint32_t kFavoritesAddError = 129;
inline constexpr uint32_t kNotEnoughMemory = 130;
inline constexpr uint32_t kHistoryLoadError = 131;
inline constexpr uint32_t kHistoryAddError = 132;
inline constexpr uint32_t kAddressBookError = 133;
inline constexpr uint32_t kErrorAddingPage = 134;
inline constexpr uint32_t kErrorTalkingToBrowser = 135;
inline constexpr uint32_t kInternalError = 136;
inline constexpr uint32_t kOptionsKey = 141;
inline constexpr uint32_t kPageFolderName = 146;
inline constexpr uint32_t kInternetSettingsKey = 148;
inline constexpr uint32_t kDefaultUserAgent = 149;
inline constexpr uint32_t kUnknownError = 150;
inline constexpr uint32_t kUnknownErrorMoreInfo = 151;
inline constexpr uint32_t kSoundSchemeKey = 157;
inline constexpr uint32_t kInvalidTitle = 159;
inline constexpr uint32_t kHistoryRoot = 161;
inline constexpr uint32_t kSmartHistoryLoadError = 162;
inline constexpr uint32_t kSeriousPageError = 172;
inline constexpr uint32_t kPageProcessingError = 173;
inline constexpr uint32_t kFolderSettingsTemplate = 177;
inline constexpr uint32_t kFolderInfoTip = 178;
inline constexpr uint32_t kTooManyChanges = 180;
inline constexpr uint32_t kNotificationFailed = 183;
inline constexpr uint32_t kAddCurrentPageNote = 185;
inline constexpr uint32_t kPageErrorFormat = 205;
inline constexpr uint32_t kCouldNotLoadPage = 206;
inline constexpr uint32_t kEnterValue = 213;
inline constexpr uint32_t kMailAddressFormat = 214;
inline constexpr uint32_t kAddressBookCaption = 229;
inline constexpr uint32_t kStartupItemError = 231;
inline constexpr uint32_t kStartupFilesMissing = 232;
inline constexpr uint32_t kStartupAccessDenied = 233;
inline constexpr uint32_t kStartupRemoveForAllUsers = 234;
// HTTP status texts are at kHttpStatusBase + status.
inline constexpr uint32_t kHttpStatusBase = 10000;
}  // namespace str

// Texts of the page dialogs that the string table gives no number.
namespace text {
inline constexpr std::string_view kTitleTaken = "A page with this title already exists.";
inline constexpr std::string_view kInvalidUrl = "This is an invalid URL.";
inline constexpr std::string_view kOnlyHttp = "Only HTTP URL's are supported.";
inline constexpr std::string_view kAddressRequired = "An address is required to add a page.";
inline constexpr std::string_view kErrorSettingProperties =
    "An error occurred while setting the properties for this page.";
inline constexpr std::string_view kErrorDeletingPage = "An error occurred while deleting the page.";
// The field checks: a number out of its range (filled with the bounds), and a text too long,
// which is shown as it stands ("&d" is not replaced).
inline constexpr std::string_view kValueOutOfRange = "Please enter a value between %d and %d.";
inline constexpr std::string_view kTextTooLong = "Please enter a length less than &d.";
// What changed on a page: no version kept yet to compare with, and a history that cannot be read.
inline constexpr std::string_view kNoEarlierVersion =
    "This page has no earlier version to compare with yet.";
inline constexpr std::string_view kVersionsUnreadable =
    "The earlier versions of this page cannot be read.";
// Smart History: the status texts of its window (the failure's is string 162), the advice shown
// when the history is kept too short, the proposal dialog's text, and the question before a
// reset.
inline constexpr std::string_view kSmartHistoryProcessing =
    "Processing Smart History, Please Wait...";
inline constexpr std::string_view kSmartHistoryFound =
    "Based on your browsing history, the following pages appear to be frequently visited.";
inline constexpr std::string_view kSmartHistoryNothingFound =
    "Could not find any frequently visited pages.";
inline constexpr std::string_view kHistoryLengthAdvice =
    "You may want to increase your history length to at least 30 days, which can be done through "
    "Internet Options.";
inline constexpr std::string_view kSmartHistoryProposal =
    "Based on your browsing history, the following pages appear to be frequently visited. Place a "
    "check next to the pages that you want checked for updates.";
inline constexpr std::string_view kResetSmartHistoryQuestion =
    "Are you sure you want to reset Smart History?\r\n This may cause Smart History to process "
    "pages that you do not want.";
// The offline schedule's status and failure.
inline constexpr std::string_view kNextRunTime = "Next run time: ";
inline constexpr std::string_view kNoSchedule =
    "To setup the schedule, click on the schedule button.";
inline constexpr std::string_view kSchedulerError =
    "An error occurred while accessing the Task Scheduler.";
}  // namespace text

// The text with this number, or nullopt when the table has none.
std::optional<std::string_view> FindString(uint32_t id);
// The text with this number, or "" when the table has none.
std::string_view LoadString(uint32_t id);

}  // namespace tw
