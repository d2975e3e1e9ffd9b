#include "nativehost/outgoing.h"

#include <cstdio>

#include "app/messages.h"

namespace tw::nativehost {
namespace {

std::string EventText(std::string_view name, std::string_view data) {
  std::string text = "{\"event\":";
  text += api::Serialize(std::string(name));
  text += ",\"data\":";
  text += data;
  text += "}";
  return text;
}

// The list in an event's data that may be sent in parts, and whether the parts add up (a second
// event of the same dialog adds to it) or only the first may go (a later one would replace it).
struct SplitList {
  std::string_view key;
  bool parts_add_up = true;
};

std::optional<SplitList> ListOf(std::string_view event) {
  if (event == "showUpdatedPages") return SplitList{"pages", true};
  if (event == "showErrors") return SplitList{"errors", true};
  if (event == "proposals") return SplitList{"pages", false};
  return std::nullopt;
}

void Note(const std::string& text) {
  const std::string line = "tidewell native-host: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

api::Json IdOf(std::string_view message) {
  const api::Json json = api::Json::parse(message, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object() || !json.contains("id")) return nullptr;
  const api::Json& id = json["id"];
  return id.is_number() || id.is_string() ? id : api::Json(nullptr);
}

std::string ReplyText(std::string reply, std::string_view request, size_t max_length) {
  if (reply.size() <= max_length) return reply;
  api::Json error = api::ErrorJson(app::InternalErrorMessage());
  error["code"] = "too-large";
  error["detail"] = "the reply is " + std::to_string(reply.size()) + " bytes, more than the " +
                    std::to_string(max_length) + " that a browser takes in one message";
  return api::Serialize({{"id", IdOf(request)}, {"error", std::move(error)}});
}

std::vector<std::string> EventTexts(const api::EventMessage& event, size_t max_length) {
  std::string whole = EventText(event.name, event.data);
  if (whole.size() <= max_length) return {std::move(whole)};

  const std::optional<SplitList> list = ListOf(event.name);
  api::Json data = api::Json::parse(event.data, nullptr, /*allow_exceptions=*/false);
  if (!list || !data.is_object() || !data.contains(list->key) || !data[list->key].is_array()) {
    Note("an event '" + event.name + "' of " + std::to_string(whole.size()) +
         " bytes is too large for the browser and was not sent");
    return {};
  }
  const api::Json items = std::move(data[list->key]);
  data[list->key] = api::Json::array();
  const size_t frame_size = EventText(event.name, api::Serialize(data)).size();

  std::vector<std::string> texts;
  api::Json part = api::Json::array();
  size_t part_size = frame_size;
  size_t dropped = 0;
  auto flush = [&] {
    if (part.empty()) return;
    data[list->key] = std::move(part);
    texts.push_back(EventText(event.name, api::Serialize(data)));
    part = api::Json::array();
    part_size = frame_size;
  };
  for (const api::Json& item : items) {
    const size_t item_size = api::Serialize(item).size() + 1;  // and its comma
    if (frame_size + item_size > max_length) {
      ++dropped;  // cannot go even alone
      continue;
    }
    if (part_size + item_size > max_length) {
      flush();
      if (!list->parts_add_up) break;
    }
    part.push_back(item);
    part_size += item_size;
  }
  if (list->parts_add_up || texts.empty()) flush();
  if (dropped > 0) {
    Note(std::to_string(dropped) + " entries of an event '" + event.name +
         "' are too large for the browser and were left out");
  }
  return texts;
}

}  // namespace tw::nativehost
