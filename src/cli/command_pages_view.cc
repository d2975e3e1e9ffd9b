// The commands that show pages: list and info, as text or as JSON.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/command_line.h"
#include "platform/file_time.h"

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

// --- list ---------------------------------------------------------------------------------------

Json ListJson(const std::string& folder, const std::vector<app::Page>& pages) {
  Json list = Json::array();
  for (const app::Page& page : pages) {
    Json entry;
    entry["title"] = page.title;
    entry["address"] = page.address;
    entry["updated"] = page.updated;
    entry["updatedTime"] = page.updated_time.ticks;
    entry["status"] = page.error ? page.error->status : 0;
    entry["errorCode"] = page.error ? page.error->code : 0;
    entry["error"] = page.error ? Json(page.error->text) : Json(nullptr);
    list.push_back(std::move(entry));
  }
  Json json;
  json["folder"] = folder;
  json["pages"] = std::move(list);
  return json;
}

std::string ListText(const std::string& folder, const std::vector<app::Page>& pages) {
  const size_t updated = static_cast<size_t>(
      std::count_if(pages.begin(), pages.end(), [](const app::Page& p) { return p.updated; }));
  std::string text = "Page folder: " + folder + "\n";
  if (pages.empty()) return text + "No pages. Add one with 'tidewell add ADDRESS'.\n";
  text += std::to_string(pages.size()) + (pages.size() == 1 ? " page, " : " pages, ") +
          std::to_string(updated) + " updated\n\n";
  constexpr size_t kMaxTitleColumn = 40;
  size_t title_width = 5, time_width = 7;
  for (const app::Page& page : pages) {
    title_width = std::max(title_width, std::min(page.title.size(), kMaxTitleColumn));
    time_width = std::max(time_width, TimeText(page.updated_time).size());
  }
  text += "   " + Pad("TITLE", title_width) + "  " + Pad("UPDATED", time_width) + "  ADDRESS\n";
  for (const app::Page& page : pages) {
    const char* mark = page.error ? " ! " : page.updated ? " * " : "   ";
    text += mark + Pad(page.title, title_width) + "  " +
            Pad(TimeText(page.updated_time), time_width) + "  " + page.address + "\n";
    if (page.error) text += "     Error: " + page.error->text + "\n";
  }
  text += "\n* updated   ! in error\n";
  return text;
}

int RunList(app::Application& app, const Arguments& args) {
  app::Outcome<app::PageList> list = app.ListPages();
  if (!list.ok()) {
    PrintError(ListCommand(), list.message());
    return kExitFailed;
  }
  if (args.Has("--json")) {
    PrintJson(ListJson(list->folder, list->pages));
  } else {
    Print(ListText(list->folder, list->pages));
  }
  return kExitOk;
}

// --- info ---------------------------------------------------------------------------------------

Json MasksJson(const std::vector<app::StoredMask>& masks) {
  Json list = Json::array();
  for (const app::StoredMask& mask : masks) {
    list.push_back({{"index", mask.index}, {"kind", mask.kind}, {"count", mask.count}});
  }
  return list;
}

Json InfoJson(const app::StoredPage& page) {
  Json json;
  json["title"] = page.title;
  json["version"] = page.version;
  json["updated"] = page.updated;
  json["status"] = page.status;
  json["errorCode"] = page.error_code;
  json["ignoreLastModified"] = page.ignore_last_modified;
  json["ignoreExpires"] = page.ignore_expires;
  json["smartUpdate"] = page.smart_update;
  json["checkCount"] = page.check_count;
  json["waitSeconds"] = page.wait_seconds;
  json["measuredWait"] = page.measured_wait;
  json["updatedTime"] = page.updated_time.ticks;
  json["lastModified"] = page.last_modified.ticks;
  json["expires"] = page.expires.ticks;
  json["address"] = page.address ? Json(*page.address) : Json(nullptr);
  json["contentLength"] = page.content_length;
  json["masks"] = MasksJson(page.masks);
  Json frames = Json::array();
  for (const app::StoredFrame& frame : page.frames) {
    Json entry;
    entry["waitSeconds"] = frame.wait_seconds;
    entry["lastModified"] = frame.last_modified.ticks;
    entry["expires"] = frame.expires.ticks;
    entry["address"] = frame.address ? Json(*frame.address) : Json(nullptr);
    entry["contentLength"] = frame.content_length;
    entry["masks"] = MasksJson(frame.masks);
    frames.push_back(std::move(entry));
  }
  json["frames"] = std::move(frames);
  return json;
}

std::string StatusText(const app::StoredPage& page) {
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

std::string MasksText(const std::vector<app::StoredMask>& masks, const std::string& indent) {
  std::string text;
  for (const app::StoredMask& mask : masks) {
    text += indent + "index " + std::to_string(mask.index) + ", kind " + std::to_string(mask.kind) +
            ", count " + std::to_string(mask.count) + "\n";
  }
  return text;
}

std::string InfoText(const std::string& path, const app::StoredPage& page) {
  std::string text;
  auto field = [&](std::string_view name, const std::string& value) {
    text += Pad(std::string(name), 20) + value + "\n";
  };
  field("title", page.title);
  field("file", path);
  field("address", page.address ? *page.address : "(none)");
  field("version", std::to_string(page.version));
  field("updated", std::to_string(page.updated));
  field("status", StatusText(page));
  std::string code = std::to_string(page.error_code);
  if (page.error_code != 0) code += " (" + page.error_text + ")";
  field("errorCode", code);
  field("ignoreLastModified", std::to_string(page.ignore_last_modified));
  field("ignoreExpires", std::to_string(page.ignore_expires));
  field("smartUpdate", std::to_string(page.smart_update));
  field("checkCount", std::to_string(page.check_count));
  field("waitSeconds", std::to_string(page.wait_seconds));
  field("measuredWait", std::to_string(page.measured_wait));
  field("updatedTime", TimeField(page.updated_time));
  field("lastModified", TimeField(page.last_modified));
  field("expires", TimeField(page.expires));
  field("contentLength", std::to_string(page.content_length));
  field("masks", std::to_string(page.masks.size()));
  text += MasksText(page.masks, "  ");
  field("frames", std::to_string(page.frames.size()));
  size_t number = 0;
  for (const app::StoredFrame& frame : page.frames) {
    text += "  frame " + std::to_string(++number) + "\n";
    auto frame_field = [&](std::string_view name, const std::string& value) {
      text += "    " + Pad(std::string(name), 16) + value + "\n";
    };
    frame_field("address", frame.address ? *frame.address : "(none)");
    frame_field("waitSeconds", std::to_string(frame.wait_seconds));
    frame_field("lastModified", TimeField(frame.last_modified));
    frame_field("expires", TimeField(frame.expires));
    frame_field("contentLength", std::to_string(frame.content_length));
    frame_field("masks", std::to_string(frame.masks.size()));
    text += MasksText(frame.masks, "      ");
  }
  return text;
}

int RunInfo(app::Application& app, const Arguments& args) {
  const std::string& path = args.operands[0];
  app::Outcome<app::StoredPage> page = app.ReadPageFile(path);
  if (!page.ok()) {
    PrintError(InfoCommand(), page.message());
    return kExitFailed;
  }
  if (args.Has("--json")) {
    PrintJson(InfoJson(*page));
  } else {
    Print(InfoText(path, *page));
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
