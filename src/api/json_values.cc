#include "api/json_values.h"

#include <algorithm>
#include <charconv>

#include "app/messages.h"

namespace tw::api {
namespace {

std::string_view IconName(app::Icon icon) {
  switch (icon) {
    case app::Icon::kNone:
      return "none";
    case app::Icon::kError:
      return "error";
    case app::Icon::kWarning:
      return "warning";
    case app::Icon::kInformation:
      return "information";
    case app::Icon::kQuestion:
      return "question";
  }
  return "none";
}

std::string_view TypeName(SettingType type) {
  switch (type) {
    case SettingType::kFlag:
      return "flag";
    case SettingType::kNumber:
      return "number";
    case SettingType::kText:
      return "text";
  }
  return "number";
}

constexpr std::string_view kDayNames[7] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};

std::string TwoDigits(int n) { return std::string(1, char('0' + n / 10)) + char('0' + n % 10); }

// "HH:MM" on the 24-hour clock.
bool ParseClock(std::string_view text, int& hour, int& minute) {
  if (text.size() != 5 || text[2] != ':') return false;
  const auto number = [](std::string_view digits, int& out) {
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return ec == std::errc() && end == digits.data() + digits.size();
  };
  return number(text.substr(0, 2), hour) && number(text.substr(3, 2), minute) && hour >= 0 &&
         hour <= 23 && minute >= 0 && minute <= 59;
}

}  // namespace

std::string Serialize(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<Request> ParseRequest(std::string_view text) {
  bool too_deep = false;
  const Json::parser_callback_t depth_check = [&too_deep](int depth, Json::parse_event_t, Json&) {
    if (depth > kMaxJsonDepth) too_deep = true;
    return !too_deep;
  };
  Json parsed = Json::parse(text, depth_check, /*allow_exceptions=*/false);
  if (too_deep || parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
  const auto method = parsed.find("method");
  if (method == parsed.end() || !method->is_string()) return std::nullopt;
  Request request;
  request.method = method->get<std::string>();
  if (const auto id = parsed.find("id");
      id != parsed.end() && (id->is_number() || id->is_string())) {
    request.id = *id;
  }
  if (const auto params = parsed.find("params"); params != parsed.end() && !params->is_null()) {
    request.params = *params;
  }
  return request;
}

Json TimeJson(FileTime time) {
  if (time.IsZero()) return nullptr;
  return FormatIso8601(time);
}

namespace {

void WriteTime(JsonText& json, FileTime time) {
  if (time.IsZero()) {
    json.Null();
  } else {
    json.String(FormatIso8601(time));
  }
}

// What one page takes as JSON text, about, so that a list is written without growing its string
// again and again.
constexpr size_t kPageJsonSize = 320;

}  // namespace

void WritePageJson(JsonText& json, const app::Page& page) {
  // Sorted by name, as a JSON value keeps its members, so that the text is what Serialize writes.
  json.BeginObject();
  json.Key("address").String(page.address);
  json.Key("checkCount").Unsigned(page.check_count);
  json.Key("error");
  if (page.error) {
    json.BeginObject();
    json.Key("code").Unsigned(page.error->code);
    json.Key("status").Unsigned(page.error->status);
    json.Key("text").String(page.error->text);
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("expires");
  WriteTime(json, page.expires);
  json.Key("ignoreExpires").Bool(page.ignore_expires);
  json.Key("ignoreLastModified").Bool(page.ignore_last_modified);
  json.Key("lastModified");
  WriteTime(json, page.last_modified);
  json.Key("pending").Bool(page.pending);
  json.Key("smartUpdate").Bool(page.smart_update);
  json.Key("title").String(page.title);
  json.Key("updated").Bool(page.updated);
  json.Key("updatedTime");
  WriteTime(json, page.updated_time);
  json.Key("waitSeconds").Unsigned(page.wait_seconds);
  json.EndObject();
}

Json PageJson(const app::Page& page) {
  std::string text;
  JsonText json(text);
  WritePageJson(json, page);
  return Json::parse(text);
}

std::string PageListJson(const app::PageList& list) {
  std::string text;
  text.reserve(list.folder.size() + (list.pages.size() + 1) * kPageJsonSize);
  JsonText json(text);
  json.BeginObject();
  json.Key("folder").String(list.folder);
  json.Key("maxTitleLength").Unsigned(list.max_title_length);
  json.Key("pages").BeginArray();
  for (const app::Page& page : list.pages) WritePageJson(json, page);
  json.EndArray();
  json.EndObject();
  return text;
}

Json AddedPageJson(const app::AddedPage& added) {
  return {{"requestId", added.request_id},
          {"title", added.title},
          {"address", added.address},
          {"placeholder", PageJson(added.placeholder)}};
}

Json UpdatedPagesJson(const std::vector<app::UpdatedPageRef>& pages) {
  Json list = Json::array();
  for (const app::UpdatedPageRef& page : pages) {
    list.push_back({{"title", page.title}, {"address", page.address}});
  }
  return list;
}

Json ErrorJson(const app::UserMessage& message) {
  Json error = {{"code", app::ProblemName(message.problem)},
                {"message", message.text},
                {"icon", IconName(message.icon)}};
  if (message.string_id) error["stringId"] = *message.string_id;
  if (message.field == app::Field::kOption && !message.option.empty()) {
    error["field"] = message.option;
  } else if (message.field != app::Field::kNone) {
    error["field"] = app::FieldName(message.field);
  }
  if (message.range) {
    error["min"] = message.range->first;
    error["max"] = message.range->second;
  }
  if (!message.detail.empty()) error["detail"] = message.detail;
  return error;
}

Json SettingsJson(const std::vector<SettingsValue>& values) {
  Json object = Json::object();
  for (const SettingsValue& value : values) {
    if (value.type == SettingsType::kDword) {
      object[value.name] = value.dword;
    } else {
      object[value.name] = value.text;
    }
  }
  return object;
}

Json SettingsSchemaJson() {
  Json schema = Json::array();
  for (const SettingDefinition& definition : app::Application::SettingsSchema()) {
    Json entry = {{"name", definition.name}, {"type", TypeName(definition.type)}};
    entry["default"] = definition.default_value ? Json(*definition.default_value) : Json(nullptr);
    if (definition.type == SettingType::kNumber) {
      entry["min"] = definition.min;
      entry["max"] = definition.max;
    } else if (definition.type == SettingType::kText) {
      entry["max"] = definition.max;  // its length
    }
    schema.push_back(std::move(entry));
  }
  return schema;
}

Json ScheduleJson(const OfflineSchedule& schedule) {
  const std::string at = TwoDigits(schedule.hour) + ":" + TwoDigits(schedule.minute);
  switch (schedule.repeat) {
    case OfflineSchedule::Repeat::kDaily:
      return {{"repeat", "daily"}, {"at", at}};
    case OfflineSchedule::Repeat::kHourly:
      return {{"repeat", "hourly"}, {"everyHours", schedule.every_hours}, {"at", at}};
    case OfflineSchedule::Repeat::kWeekly: {
      Json days = Json::array();
      for (int day = 0; day < 7; ++day) {
        if (schedule.days & (1 << day)) days.push_back(kDayNames[day]);
      }
      return {{"repeat", "weekly"}, {"days", std::move(days)}, {"at", at}};
    }
    case OfflineSchedule::Repeat::kLogOn:
      return {{"repeat", "logon"}};
  }
  return nullptr;
}

std::optional<std::string> DecodeBase64(std::string_view text, size_t max_bytes) {
  while (!text.empty() && text.back() == '=') text.remove_suffix(1);
  if (text.size() % 4 == 1 || text.size() / 4 * 3 > max_bytes + 3) return std::nullopt;
  const auto value_of = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3 + 2);
  uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    const int value = value_of(c);
    if (value < 0) return std::nullopt;
    bits = bits << 6 | static_cast<uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes.push_back(static_cast<char>((bits >> count) & 0xff));
    }
  }
  if (bytes.size() > max_bytes) return std::nullopt;
  return bytes;
}

// --- Params ------------------------------------------------------------------------------------

const Json* Params::Find(std::string_view name, bool required) {
  if (!params_.is_object()) {
    Fail("params must be an object");
    return nullptr;
  }
  const auto it = params_.find(name);
  if (it == params_.end() || it->is_null()) {
    if (required) Fail("params." + std::string(name) + " is missing");
    return nullptr;
  }
  return &*it;
}

void Params::Fail(std::string problem) {
  if (!problem_) problem_ = std::move(problem);
}

std::optional<std::string> Params::OptionalString(std::string_view name) {
  const Json* value = Find(name, false);
  if (!value) return std::nullopt;
  if (!value->is_string()) {
    Fail("params." + std::string(name) + " must be a string");
    return std::nullopt;
  }
  return value->get<std::string>();
}

std::string Params::String(std::string_view name) {
  if (!Find(name, true)) return "";
  return OptionalString(name).value_or("");
}

std::optional<bool> Params::OptionalBool(std::string_view name) {
  const Json* value = Find(name, false);
  if (!value) return std::nullopt;
  if (!value->is_boolean()) {
    Fail("params." + std::string(name) + " must be true or false");
    return std::nullopt;
  }
  return value->get<bool>();
}

bool Params::Bool(std::string_view name) {
  if (!Find(name, true)) return false;
  return OptionalBool(name).value_or(false);
}

std::optional<int64_t> Params::OptionalInteger(std::string_view name) {
  const Json* value = Find(name, false);
  if (!value) return std::nullopt;
  if (!value->is_number_integer()) {
    Fail("params." + std::string(name) + " must be a whole number");
    return std::nullopt;
  }
  // Numbers past int64 come as unsigned; they are out of every range anyway.
  if (value->is_number_unsigned() && value->get<uint64_t>() > uint64_t(INT64_MAX)) return INT64_MAX;
  return value->get<int64_t>();
}

int64_t Params::Integer(std::string_view name) {
  if (!Find(name, true)) return 0;
  return OptionalInteger(name).value_or(0);
}

const Json* Params::Raw(std::string_view name) { return Find(name, false); }

std::optional<std::vector<std::string>> Params::OptionalStrings(std::string_view name) {
  const Json* list = Find(name, false);
  if (!list) return std::nullopt;
  std::vector<std::string> strings;
  if (!list->is_array()) {
    Fail("params." + std::string(name) + " must be an array of texts");
    return strings;
  }
  for (const Json& item : *list) {
    if (!item.is_string()) {
      Fail("params." + std::string(name) + " must be an array of texts");
      break;
    }
    strings.push_back(item.get<std::string>());
  }
  return strings;
}

Json Params::Id(std::string_view name) {
  const Json* value = Find(name, true);
  if (!value) return nullptr;
  if (!value->is_number() && !value->is_string()) {
    Fail("params." + std::string(name) + " must be a number or a string");
    return nullptr;
  }
  return *value;
}

std::optional<std::vector<SettingsValue>> SettingsFromJson(const Json& values, Params& params) {
  if (!values.is_object()) {
    params.Fail("params.values must be an object");
    return std::nullopt;
  }
  std::vector<SettingsValue> out;
  for (const auto& [name, value] : values.items()) {
    const SettingDefinition* definition = app::FindUserSetting(name);
    if (!definition) {
      params.Fail("there is no setting named " + name);
      return std::nullopt;
    }
    if (definition->type == SettingType::kText) {
      if (!value.is_string()) {
        params.Fail("the setting " + name + " takes a string");
        return std::nullopt;
      }
      out.push_back(SettingsValue::String(name, value.get<std::string>()));
      continue;
    }
    if (!value.is_number_integer()) {
      params.Fail("the setting " + name + " takes a whole number");
      return std::nullopt;
    }
    // A number below 0 or past 32 bits is out of every range, and stays so.
    uint64_t number = UINT32_MAX;
    if (value.is_number_unsigned()) {
      number = value.get<uint64_t>();
    } else if (value.get<int64_t>() >= 0) {
      number = static_cast<uint64_t>(value.get<int64_t>());
    }
    out.push_back(
        SettingsValue::Dword(name, static_cast<uint32_t>(std::min<uint64_t>(number, UINT32_MAX))));
  }
  return out;
}

ScheduleRequest ScheduleFromJson(const Json& value, Params& params) {
  ScheduleRequest request;
  if (value.is_null()) return request;
  if (!value.is_object()) {
    params.Fail("params.schedule must be an object or null");
    return request;
  }
  Params fields(value);
  const std::string repeat = fields.String("repeat");
  OfflineSchedule schedule;
  if (repeat == "daily") {
    schedule.repeat = OfflineSchedule::Repeat::kDaily;
  } else if (repeat == "hourly") {
    schedule.repeat = OfflineSchedule::Repeat::kHourly;
  } else if (repeat == "weekly") {
    schedule.repeat = OfflineSchedule::Repeat::kWeekly;
  } else if (repeat == "logon") {
    schedule.repeat = OfflineSchedule::Repeat::kLogOn;
  } else if (!fields.problem()) {
    request.message = app::InvalidValueMessage(
        app::Field::kRepeat, "The schedule repeats daily, hourly, weekly or at log on.");
    return request;
  }
  if (schedule.repeat != OfflineSchedule::Repeat::kLogOn) {
    const std::string at = fields.String("at");
    if (!fields.problem() && !ParseClock(at, schedule.hour, schedule.minute)) {
      request.message = app::InvalidValueMessage(app::Field::kAt,
                                                 "Please enter a time of day from 00:00 to 23:59.");
      return request;
    }
  }
  if (schedule.repeat == OfflineSchedule::Repeat::kHourly) {
    const int64_t every = fields.Integer("everyHours");
    schedule.every_hours = every < 0 || every > 1000 ? 0 : static_cast<int>(every);
    if (!fields.problem() && (every < 1 || every > kMaxEveryHours)) {
      request.message = app::OutOfRangeMessage(app::Field::kEveryHours, 1, kMaxEveryHours);
      return request;
    }
  }
  if (schedule.repeat == OfflineSchedule::Repeat::kWeekly) {
    const Json* days = fields.Raw("days");
    if (!days || !days->is_array()) {
      fields.Fail("params.schedule.days must be an array of day names");
    } else {
      for (const Json& day : *days) {
        bool known = false;
        for (int index = 0; index < 7; ++index) {
          if (day.is_string() && day.get<std::string>() == kDayNames[index]) {
            schedule.days |= static_cast<uint8_t>(1 << index);
            known = true;
          }
        }
        if (!known) {
          request.message = app::InvalidValueMessage(
              app::Field::kDays, "The days of the week are mon, tue, wed, thu, fri, sat and sun.");
          return request;
        }
      }
    }
  }
  if (fields.problem()) {
    params.Fail("schedule: " + *fields.problem());
    return request;
  }
  request.schedule = schedule;
  return request;
}

}  // namespace tw::api
