#include "service/guard.h"

#include "foundation/ascii.h"

namespace tw::service {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string CookieName(int port) { return "tidewell-" + std::to_string(port); }

bool IsOwnHost(std::string_view host, int port) {
  const std::string suffix = ":" + std::to_string(port);
  return EqualsIgnoreCase(host, "127.0.0.1" + suffix) ||
         EqualsIgnoreCase(host, "localhost" + suffix);
}

bool IsOwnOrigin(std::string_view origin, int port) {
  constexpr std::string_view kScheme = "http://";
  if (origin.size() <= kScheme.size() || !StartsWithIgnoreCase(origin, kScheme)) return false;
  return IsOwnHost(origin.substr(kScheme.size()), port);
}

std::optional<std::string> CookieValue(std::string_view cookie_header, std::string_view name) {
  while (!cookie_header.empty()) {
    const size_t end = cookie_header.find(';');
    const std::string_view pair = Trim(cookie_header.substr(0, end));
    const size_t equals = pair.find('=');
    if (equals != std::string_view::npos && Trim(pair.substr(0, equals)) == name) {
      std::string_view value = Trim(pair.substr(equals + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
    if (end == std::string_view::npos) break;
    cookie_header.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::optional<std::string> BearerToken(std::string_view authorization) {
  constexpr std::string_view kScheme = "Bearer ";
  authorization = Trim(authorization);
  if (authorization.size() <= kScheme.size() || !StartsWithIgnoreCase(authorization, kScheme)) {
    return std::nullopt;
  }
  return std::string(Trim(authorization.substr(kScheme.size())));
}

bool SameSecret(std::string_view given, std::string_view secret) {
  // The length of our own secret is no secret; the bytes are compared to the end.
  unsigned char difference = given.size() == secret.size() ? 0 : 1;
  for (size_t i = 0; i < secret.size(); ++i) {
    const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    difference |= static_cast<unsigned char>(g ^ static_cast<unsigned char>(secret[i]));
  }
  return difference == 0 && !secret.empty();
}

bool IsJsonContentType(std::string_view content_type) {
  const std::string_view type = Trim(content_type.substr(0, content_type.find(';')));
  return EqualsIgnoreCase(type, "application/json");
}

}  // namespace tw::service
