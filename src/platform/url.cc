#include "platform/url.h"

#include <curl/curl.h>

#include <memory>

namespace tw {
namespace {

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct CurlStringDeleter {
  void operator()(char* s) const { curl_free(s); }
};

// One part of a parsed address, or "" when it has none.
std::string Part(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* raw = nullptr;
  if (curl_url_get(url, part, &raw, flags) != CURLUE_OK || !raw) return "";
  std::unique_ptr<char, CurlStringDeleter> owned(raw);
  return std::string(raw);
}

Result<UrlHandle> Parse(std::string_view address) {
  UrlHandle url(curl_url());
  if (!url) return Error(err::kNotEnoughMemory);
  const std::string text(address);
  const CURLUcode rc =
      curl_url_set(url.get(), CURLUPART_URL, text.c_str(),
                   CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE);
  if (rc == CURLUE_OUT_OF_MEMORY) return Error(err::kNotEnoughMemory);
  if (rc == CURLUE_UNSUPPORTED_SCHEME) return Error(err::kInternetUnrecognizedScheme);
  if (rc != CURLUE_OK) return Error(err::kInternetInvalidUrl);
  return url;
}

}  // namespace

Result<UrlParts> CrackUrl(std::string_view address) {
  Result<UrlHandle> url = Parse(address);
  if (!url.ok()) return url.error();
  UrlParts parts;
  parts.scheme = Part(url->get(), CURLUPART_SCHEME);
  parts.user = Part(url->get(), CURLUPART_USER);
  parts.password = Part(url->get(), CURLUPART_PASSWORD);
  parts.host = Part(url->get(), CURLUPART_HOST);
  const std::string port = Part(url->get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (!port.empty()) parts.port = static_cast<uint16_t>(std::stoul(port));
  std::string path = Part(url->get(), CURLUPART_PATH);
  if (path.empty()) path.push_back('/');
  const std::string query = Part(url->get(), CURLUPART_QUERY);
  if (!query.empty()) {
    path.push_back('?');
    path += query;
  }
  parts.path = std::move(path);
  if (parts.host.empty()) return Error(err::kInternetInvalidUrl);
  return parts;
}

Result<std::string> CombineUrl(std::string_view base, std::string_view reference) {
  Result<UrlHandle> url = Parse(base);
  if (!url.ok()) return url.error();
  const std::string text(reference);
  const CURLUcode rc = curl_url_set(url->get(), CURLUPART_URL, text.c_str(),
                                    CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE);
  if (rc == CURLUE_OUT_OF_MEMORY) return Error(err::kNotEnoughMemory);
  if (rc != CURLUE_OK) return Error(err::kInternetInvalidUrl);
  std::string combined = Part(url->get(), CURLUPART_URL);
  if (combined.empty()) return Error(err::kInternetInvalidUrl);
  return combined;
}

std::string LowerSchemeAndHost(std::string_view address) {
  std::string out(address);
  const size_t scheme_end = out.find("://");
  if (scheme_end == std::string::npos) return out;
  size_t host_end = out.find_first_of("/?#", scheme_end + 3);
  if (host_end == std::string::npos) host_end = out.size();
  // The user name and password before an "@" keep their case; the host after it does not.
  const size_t at = out.rfind('@', host_end);
  const size_t host_start = (at != std::string::npos && at > scheme_end) ? at + 1 : scheme_end + 3;
  for (size_t i = 0; i < scheme_end; ++i) out[i] = AsciiLower(out[i]);
  for (size_t i = host_start; i < host_end; ++i) out[i] = AsciiLower(out[i]);
  return out;
}

bool HasHttpScheme(std::string_view address) {
  return StartsWithIgnoreCase(address, "http://") || StartsWithIgnoreCase(address, "https://");
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0f];
  }
  return out;
}

}  // namespace tw
