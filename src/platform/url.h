// Addresses: splitting, combining and case rules, on libcurl's URL parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/ascii.h"
#include "platform/error.h"

namespace tw {

struct UrlParts {
  std::string scheme;  // lower case, as the parser gives it
  std::string user;
  std::string password;
  std::string host;
  uint16_t port = 0;  // the scheme's default port when the address names none
  std::string path;   // path and query, "/" when empty
};

// Splits an absolute address; fails with 12005 (invalid address) or 12006 (unknown scheme).
Result<UrlParts> CrackUrl(std::string_view address);

// `reference` resolved against `base` as a browser resolves a link: an absolute reference stays
// as it is, "/x" keeps scheme, host and port of the base, "x" replaces the base's last segment.
// Fails with 12005 when either cannot be parsed.
Result<std::string> CombineUrl(std::string_view base, std::string_view reference);

// The address with its scheme and host in lower case and everything else as given: paths and
// queries are case-sensitive on most servers.
std::string LowerSchemeAndHost(std::string_view address);

// True when the text begins, without regard to case, with "http://" or "https://".
bool HasHttpScheme(std::string_view address);

// The text made safe as one component of an address (a query value, say): every byte but the
// unreserved ones (letters, digits, "-", ".", "_", "~") becomes "%" and two upper-case hex
// digits, so "&", "=", "#", "+" and spaces can no longer change the address around it.
std::string PercentEncode(std::string_view text);

}  // namespace tw
