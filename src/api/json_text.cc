#include "api/json_text.h"

#include <charconv>

namespace tw::api {

JsonText::JsonText(std::string& out)
    : out_(out),
      serializer_(nlohmann::detail::output_adapter<char>(out), ' ',
                  nlohmann::json::error_handler_t::replace) {}

void JsonText::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (has_members_.empty()) return;
  if (has_members_.back()) out_ += ',';
  has_members_.back() = true;
}

void JsonText::Escaped(std::string_view text) {
  scratch_.get_ref<std::string&>().assign(text);
  serializer_.dump(scratch_, /*pretty_print=*/false, /*ensure_ascii=*/false, 0);
}

JsonText& JsonText::BeginObject() {
  BeforeValue();
  out_ += '{';
  has_members_.push_back(false);
  return *this;
}

JsonText& JsonText::EndObject() {
  out_ += '}';
  has_members_.pop_back();
  return *this;
}

JsonText& JsonText::BeginArray() {
  BeforeValue();
  out_ += '[';
  has_members_.push_back(false);
  return *this;
}

JsonText& JsonText::EndArray() {
  out_ += ']';
  has_members_.pop_back();
  return *this;
}

JsonText& JsonText::Key(std::string_view name) {
  BeforeValue();
  Escaped(name);
  out_ += ':';
  after_key_ = true;
  return *this;
}

JsonText& JsonText::String(std::string_view text) {
  BeforeValue();
  Escaped(text);
  return *this;
}

JsonText& JsonText::Unsigned(uint64_t number) {
  BeforeValue();
  char digits[20];  // the most a 64-bit number has
  out_.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
  return *this;
}

JsonText& JsonText::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
  return *this;
}

JsonText& JsonText::Null() {
  BeforeValue();
  out_ += "null";
  return *this;
}

JsonText& JsonText::Raw(std::string_view json) {
  BeforeValue();
  out_ += json;
  return *this;
}

}  // namespace tw::api
