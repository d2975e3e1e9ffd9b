// JsonText: JSON written straight into a string, for replies and events of thousands of values,
// where building a JSON value and then writing it costs more than the text itself (the page list,
// the page events). The bytes are those Serialize writes for the same value: no spaces, strings
// escaped by the same serializer (bytes that are not UTF-8 become U+FFFD). Members are written in
// the order the caller gives; a caller writes them sorted by name, as a JSON value keeps them.
// One object per thread; the string must outlive it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace tw::api {

class JsonText {
 public:
  explicit JsonText(std::string& out);
  JsonText(const JsonText&) = delete;
  JsonText& operator=(const JsonText&) = delete;

  JsonText& BeginObject();
  JsonText& EndObject();
  JsonText& BeginArray();
  JsonText& EndArray();
  // A member's name; its value follows.
  JsonText& Key(std::string_view name);

  JsonText& String(std::string_view text);
  JsonText& Unsigned(uint64_t number);
  JsonText& Bool(bool value);
  JsonText& Null();
  // Text that is JSON already (one value), written as it is.
  JsonText& Raw(std::string_view json);

 private:
  void BeforeValue();
  void Escaped(std::string_view text);

  std::string& out_;
  nlohmann::detail::serializer<nlohmann::json> serializer_;
  nlohmann::json scratch_ = "";    // the string being escaped; its buffer is kept for the next
  std::vector<bool> has_members_;  // one per open object or array
  bool after_key_ = false;
};

}  // namespace tw::api
