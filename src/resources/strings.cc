#include "resources/strings.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tw {
namespace {

struct Entry {
  uint32_t id;
  std::string_view text;
};

// Sorted by id.
constexpr Entry kStrings[] = {
    {100, "Tidewell"},
    {102, "SOFTWARE\\Orvanta\\Tidewell"},
    {105, "Add Current Page - Tidewell"},
    {119, "Favorites"},
    {128, "An error occurred while loading your list of favorite web pages."},
    {129, "An error occurred while adding the favorite pages you selected."},
    {130, "Not enough memory."},
    {131, "An error occurred while loading your web page history."},
    {132, "An error occurred while adding the history items you selected."},
    {133, "An error occurred while accessing the Address Book."},
    {134, "An error occurred while adding the page."},
    {135, "An error occurred while communicating with the web browser."},
    {136, "An internal error occurred, try restarting the web browser."},
    {141, "SOFTWARE\\Orvanta\\Tidewell\\Options"},
    // The page folder below the documents folder; paths use "/" here.
    {146, "/My Tidewell"},
    {148, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"},
    {149, "Mozilla/4.0 (compatible; MSIE 5.0; Win32)"},
    {150, "Unknown error."},
    {151, "Unknown error, More Information: "},
    {157, "AppEvents\\Schemes\\Apps\\Tidewell"},
    {159,
     "The title can not contain any of the following characters:\r\n"
     "/ \\ : * ? \" < > |"},
    {161, "History"},
    {162, "An error occurred while loading your web page history."},
    {172,
     "A serious error occurred while processing this page. Tidewell should be restarted, and "
     "this page may need to be deleted."},
    {173, "An error occurred while processing this page."},
    {177,
     "[.ShellClassInfo]\r\nConfirmFileOp=0\r\nNoSharing=0\r\nIconFile=%s\r\nIconIndex=%d\r\n"
     "InfoTip=%s\r\n"},
    {178, "Tidewell"},
    {180, "This page has too many changes."},
    {183, "An error occurred while notifying you of an event."},
    {185,
     "Edit the title and address for the currently loaded page in your web browser, before "
     "adding."},
    {205, "Page Error: %s, %s"},
    {206, "Could not load the page."},
    {213, "Please enter a value."},
    {214,
     "E-Mail address has an incorrect format.\r\n"
     "Please enter the address in the form someone@example.com."},
    {229, "Address Book"},
    {231, "An error occurred while maintaining options for running on startup."},
    {232,
     "Could not find the necessary files to complete this operation. You may need to reinstall "
     "Tidewell."},
    {233,
     "Access was denied while removing the startup item for all users. If you would like to set "
     "this for all users, you should log in with an account that has administrator "
     "privileges."},
    {234,
     "The startup item exists for all users. Would you like to remove this option for all "
     "users?"},
    {10400, "Invalid Syntax"},
    {10401, "Access Denied"},
    {10402, "Payment Required"},
    {10403, "Request Forbidden"},
    {10404, "Object not found"},
    {10405, "Method is not allowed"},
    {10406, "No response acceptable to client found"},
    {10407, "Proxy authentication required"},
    {10408, "Server timed out waiting for request"},
    {10409, "User should resubmit with more info"},
    {10410, "The resource is no longer available"},
    {10411, "The server refused to accept request without a length"},
    {10412, "Precondition given in request failed"},
    {10413, "Request entity was too large"},
    {10414, "Request URI too long"},
    {10415, "Unsupported media type"},
    {10449, "Retry after doing the appropriate action"},
    {10500, "Internal Server Error"},
    {10501, "Not supported"},
    {10502, "Error response recieved from the gateway"},
    {10503, "Temporarily overloaded"},
    {10504, "Timed out waiting for gateway"},
    {10505, "HTTP version not supported"},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }),
              "the string table must stay sorted by id");

}  // namespace

std::optional<std::string_view> FindString(uint32_t id) {
  const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                   [](const Entry& e, uint32_t key) { return e.id < key; });
  if (it == std::end(kStrings) || it->id != id) return std::nullopt;
  return it->text;
}

std::string_view LoadString(uint32_t id) { return FindString(id).value_or(std::string_view()); }

}  // namespace tw
