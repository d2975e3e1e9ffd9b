// The commands that show pages: list and info, as text or as JSON.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/page_listing.h"
#include "host/user_message.h"
#include "pagedb/page_folder.h"
#include "platform/file_time.h"
#include "platform/settings_store.h"

namespace tw::cli {
namespace {

using Json = nlohmann::ordered_json;

// Titles and addresses are bytes; text that is not UTF-8 is shown with replacement characters
// rather than failing the whole output.
void PrintJson(const Json& json) {
  Print(json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
}

std::string TimeText(FileTime t) {
  if (t.IsZero()) return "-";
  return FormatForDisplay(t);
}

Result<std::string> PageFolder() {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (!store.ok()) return store.error();
  return GetPageFolder(*store);
}

// --- list ---------------------------------------------------------------------------------------

Json ListJson(const std::string& folder, const std::vector<ListedPage>& pages) {
  Json list = Json::array();
  for (const ListedPage& page : pages) {
    Json entry;
    entry["title"] = page.title;
    entry["address"] = page.address;
    entry["updated"] = page.header.updated != 0;
    entry["updatedTime"] = page.header.updatedTime.ticks;
    entry["status"] = page.header.status;
    entry["errorCode"] = page.header.errorCode;
    entry["error"] = page.in_error() ? Json(page.error_text) : Json(nullptr);
    list.push_back(std::move(entry));
  }
  Json json;
  json["folder"] = folder;
  json["pages"] = std::move(list);
  return json;
}

std::string ListText(const std::string& folder, const std::vector<ListedPage>& pages) {
  const size_t updated = static_cast<size_t>(std::count_if(
      pages.begin(), pages.end(), [](const ListedPage& p) { return p.header.updated != 0; }));
  std::string text = "Page folder: " + folder + "\n";
  if (pages.empty()) return text + "No pages. Add one with 'tidewell add ADDRESS'.\n";
  text += std::to_string(pages.size()) + (pages.size() == 1 ? " page, " : " pages, ") +
          std::to_string(updated) + " updated\n\n";
  constexpr size_t kMaxTitleColumn = 40;
  size_t title_width = 5, time_width = 7;
  for (const ListedPage& page : pages) {
    title_width = std::max(title_width, std::min(page.title.size(), kMaxTitleColumn));
    time_width = std::max(time_width, TimeText(page.header.updatedTime).size());
  }
  text += "   " + Pad("TITLE", title_width) + "  " + Pad("UPDATED", time_width) + "  ADDRESS\n";
  for (const ListedPage& page : pages) {
    const char* mark = page.in_error() ? " ! " : page.header.updated ? " * " : "   ";
    text += mark + Pad(page.title, title_width) + "  " +
            Pad(TimeText(page.header.updatedTime), time_width) + "  " + page.address + "\n";
    if (page.in_error()) text += "     Error: " + page.error_text + "\n";
  }
  text += "\n* updated   ! in error\n";
  return text;
}

int RunList(const Arguments& args) {
  Result<std::string> folder = PageFolder();
  if (!folder.ok()) {
    PrintError(ListCommand(), "the page folder cannot be found: " + ErrorTextOf(folder.error()));
    return kExitFailed;
  }
  Result<std::vector<ListedPage>> pages = ListPages(*folder);
  if (!pages.ok()) {
    PrintError(ListCommand(), *folder + ": " + ErrorTextOf(pages.error()));
    return kExitFailed;
  }
  if (args.Has("--json")) {
    PrintJson(ListJson(*folder, *pages));
  } else {
    Print(ListText(*folder, *pages));
  }
  return kExitOk;
}

// --- info ---------------------------------------------------------------------------------------

Json MasksJson(const MaskList& masks) {
  Json list = Json::array();
  for (const MaskEntry& mask : masks) {
    list.push_back({{"index", mask.index}, {"kind", mask.kind}, {"count", mask.count}});
  }
  return list;
}

Json InfoJson(const PageRecord& page) {
  Json json;
  json["title"] = page.title;
  json["version"] = page.version;
  json["updated"] = page.updated;
  json["status"] = page.status;
  json["errorCode"] = page.errorCode;
  json["ignoreLastModified"] = page.ignoreLastModified;
  json["ignoreExpires"] = page.ignoreExpires;
  json["smartUpdate"] = page.smartUpdate;
  json["checkCount"] = page.checkCount;
  json["waitSeconds"] = page.waitSeconds;
  json["measuredWait"] = page.measuredWait;
  json["updatedTime"] = page.updatedTime.ticks;
  json["lastModified"] = page.lastModified.ticks;
  json["expires"] = page.expires.ticks;
  json["address"] = page.has_address() ? Json(page.address) : Json(nullptr);
  json["contentLength"] = page.contentLength;
  json["masks"] = MasksJson(page.masks);
  Json frames = Json::array();
  for (const FrameEntry& frame : page.frames) {
    Json entry;
    entry["waitSeconds"] = frame.waitSeconds;
    entry["lastModified"] = frame.lastModified.ticks;
    entry["expires"] = frame.expires.ticks;
    entry["address"] = frame.has_address() ? Json(frame.address) : Json(nullptr);
    entry["contentLength"] = frame.contentLength;
    entry["masks"] = MasksJson(frame.masks);
    frames.push_back(std::move(entry));
  }
  json["frames"] = std::move(frames);
  return json;
}

std::string StatusText(const PageRecord& page) {
  static constexpr const char* kNames[] = {"none", "message", "system error", "HTTP error",
                                           "rechecking"};
  std::string text = std::to_string(page.status);
  if (page.status < std::size(kNames)) text += std::string(" (") + kNames[page.status] + ")";
  return text;
}

std::string TimeField(FileTime t) {
  if (t.IsZero()) return "0";
  return std::to_string(t.ticks) + " (" + FormatForDisplay(t) + ")";
}

std::string MasksText(const MaskList& masks, const std::string& indent) {
  std::string text;
  for (const MaskEntry& mask : masks) {
    text += indent + "index " + std::to_string(mask.index) + ", kind " + std::to_string(mask.kind) +
            ", count " + std::to_string(mask.count) + "\n";
  }
  return text;
}

std::string InfoText(const std::string& path, const PageRecord& page) {
  std::string text;
  auto field = [&](std::string_view name, const std::string& value) {
    text += Pad(std::string(name), 20) + value + "\n";
  };
  field("title", page.title);
  field("file", path);
  field("address", page.has_address() ? page.address : "(none)");
  field("version", std::to_string(page.version));
  field("updated", std::to_string(page.updated));
  field("status", StatusText(page));
  std::string code = std::to_string(page.errorCode);
  if (page.errorCode != 0) code += " (" + StoredErrorText(page.status, page.errorCode) + ")";
  field("errorCode", code);
  field("ignoreLastModified", std::to_string(page.ignoreLastModified));
  field("ignoreExpires", std::to_string(page.ignoreExpires));
  field("smartUpdate", std::to_string(page.smartUpdate));
  field("checkCount", std::to_string(page.checkCount));
  field("waitSeconds", std::to_string(page.waitSeconds));
  field("measuredWait", std::to_string(page.measuredWait));
  field("updatedTime", TimeField(page.updatedTime));
  field("lastModified", TimeField(page.lastModified));
  field("expires", TimeField(page.expires));
  field("contentLength", std::to_string(page.contentLength));
  field("masks", std::to_string(page.masks.count()));
  text += MasksText(page.masks, "  ");
  field("frames", std::to_string(page.frames.count()));
  size_t number = 0;
  for (const FrameEntry& frame : page.frames) {
    text += "  frame " + std::to_string(++number) + "\n";
    auto frame_field = [&](std::string_view name, const std::string& value) {
      text += "    " + Pad(std::string(name), 16) + value + "\n";
    };
    frame_field("address", frame.has_address() ? frame.address : "(none)");
    frame_field("waitSeconds", std::to_string(frame.waitSeconds));
    frame_field("lastModified", TimeField(frame.lastModified));
    frame_field("expires", TimeField(frame.expires));
    frame_field("contentLength", std::to_string(frame.contentLength));
    frame_field("masks", std::to_string(frame.masks.count()));
    text += MasksText(frame.masks, "      ");
  }
  return text;
}

int RunInfo(const Arguments& args) {
  const std::string& path = args.operands[0];
  Result<std::unique_ptr<PageRecord>> page = ReadPageFileAt(path);
  if (!page.ok()) {
    PrintError(InfoCommand(), path + ": " + ErrorTextOf(page.error()));
    return kExitFailed;
  }
  if (args.Has("--json")) {
    PrintJson(InfoJson(**page));
  } else {
    Print(InfoText(path, **page));
  }
  return kExitOk;
}

}  // namespace

const Command& ListCommand() {
  static const Command command{
      .name = "list",
      .synopsis = "[--json]",
      .summary = "List the pages with their updated flags and errors.",
      .help =
          "Lists the page files of the page folder, sorted by title: each page's title, the\n"
          "time it was last found changed, its address, whether it is updated (*), and the\n"
          "error of its last check (!).\n"
          "\n"
          "Options:\n"
          "  --json   print {\"folder\", \"pages\": [{\"title\", \"address\", \"updated\" (true "
          "or\n"
          "           false), \"updatedTime\", \"status\", \"errorCode\", \"error\" (text or\n"
          "           null)}]}; times are FILETIME values (100 ns since 1601-01-01 UTC, 0 = "
          "none)\n",
      .flags = {"--json"},
      .run = RunList,
  };
  return command;
}

const Command& InfoCommand() {
  static const Command command{
      .name = "info",
      .synopsis = "FILE.twp [--json]",
      .summary = "Show every field of one page file.",
      .help =
          "Shows the fields of the page file as stored: its header, address, content length,\n"
          "mask records and frames.\n"
          "\n"
          "Options:\n"
          "  --json   print the fields under their page file names (version, updated, status,\n"
          "           errorCode, ignoreLastModified, ignoreExpires, smartUpdate, checkCount,\n"
          "           waitSeconds, measuredWait, updatedTime, lastModified, expires, address,\n"
          "           contentLength, masks, frames), numbers as stored, times as FILETIME values\n",
      .flags = {"--json"},
      .min_operands = 1,
      .max_operands = 1,
      .run = RunInfo,
  };
  return command;
}

}  // namespace tw::cli
