// The API's values as JSON (docs/api.md, Values and Errors), both ways. What comes in is checked
// field by field: a missing field or one of the wrong JSON type is named, never guessed at.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "api/json_text.h"
#include "app/application.h"

namespace tw::api {

using Json = nlohmann::json;

// JSON text; bytes that are not UTF-8 become U+FFFD rather than failing.
std::string Serialize(const Json& value);

// A parsed request envelope.
struct Request {
  Json id;  // a number or a string, sent back as it came
  std::string method;
  Json params = Json::object();
};
// The envelope in `text`; nothing when it is not JSON, nests deeper than the API ever does, or
// has no string "method" (an "id" of another type than number or string counts as none).
std::optional<Request> ParseRequest(std::string_view text);
inline constexpr int kMaxJsonDepth = 16;

// A page as JSON text, written without building a JSON value (json_text.h): the page list and
// the page events carry thousands. PageJson is the same page as a JSON value.
void WritePageJson(JsonText& json, const app::Page& page);
Json PageJson(const app::Page& page);
// The result of pages.list as JSON text: the folder, the longest title and every page.
std::string PageListJson(const app::PageList& list);
// A queued add: its request id, the title and address it got, and the placeholder to show.
Json AddedPageJson(const app::AddedPage& added);
Json UpdatedPagesJson(const std::vector<app::UpdatedPageRef>& pages);
// An error object: code, message, icon, and stringId, field, min, max, detail when known.
Json ErrorJson(const app::UserMessage& message);
// Settings values as an object of names to numbers or texts.
Json SettingsJson(const std::vector<SettingsValue>& values);
Json SettingsSchemaJson();
Json ScheduleJson(const OfflineSchedule& schedule);
// Time as ISO 8601 UTC, or null for none.
Json TimeJson(FileTime time);

// Reads the parameters of one call. Each getter records the first problem (a missing required
// field, or a field of the wrong type) and then returns an empty value; the caller looks at
// problem() once it has read them all.
class Params {
 public:
  explicit Params(const Json& params) : params_(params) {}

  std::string String(std::string_view name);
  std::optional<std::string> OptionalString(std::string_view name);
  bool Bool(std::string_view name);
  std::optional<bool> OptionalBool(std::string_view name);
  int64_t Integer(std::string_view name);
  std::optional<int64_t> OptionalInteger(std::string_view name);
  // A list of texts; nothing when the field is missing.
  std::optional<std::vector<std::string>> OptionalStrings(std::string_view name);
  const Json* Raw(std::string_view name);  // nullptr when missing or null
  // The value of a field that exists, as an id (number or string), or null.
  Json Id(std::string_view name);

  // Records a problem of the caller's own (a value of the right type that is not one of the
  // field's values).
  void Fail(std::string problem);
  const std::optional<std::string>& problem() const { return problem_; }

 private:
  const Json* Find(std::string_view name, bool required);
  const Json& params_;
  std::optional<std::string> problem_;
};

// Base64 (RFC 4648, padding optional, no line breaks); nothing when the text is not Base64 or
// decodes to more than `max_bytes`.
std::optional<std::string> DecodeBase64(std::string_view text, size_t max_bytes);

// The settings values of a settings.set request (names to numbers or texts).
std::optional<std::vector<SettingsValue>> SettingsFromJson(const Json& values, Params& params);
// An offline schedule (docs/api.md, OfflineSchedule); nothing for JSON null. Problems with a
// user-facing message (a time that is not HH:MM) come back as `message`.
struct ScheduleRequest {
  std::optional<OfflineSchedule> schedule;
  std::optional<app::UserMessage> message;
};
ScheduleRequest ScheduleFromJson(const Json& value, Params& params);

}  // namespace tw::api
