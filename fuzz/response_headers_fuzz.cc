// Feeds arbitrary bytes, line by line, to the response header reader and runs the retrieval rules
// over what it read: dates moved to the local clock, the Content-Length check and the redirect
// decision. A redirect that is followed must lead to a sane address.
#include <cstdint>
#include <string_view>

#include "checking/retrieval_rules.h"
#include "fuzz_target.h"
#include "platform/http_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tw::ResponseHeaders headers;
  headers.AddLine("HTTP/1.1 301 Moved\r\n");
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const size_t length = end == std::string_view::npos ? text.size() : end + 1;
    headers.AddLine(text.substr(0, length));
    text.remove_prefix(length);
  }
  Check(headers.fields().size() <= tw::kMaxHeaderFields);
  for (const auto& [name, value] : headers.fields()) (void)tw::ParseHttpDate(value);

  const tw::FileTime now = tw::FileTime::FromUnixSeconds(1'700'000'000);
  (void)tw::MoveTimesToLocalClock(headers, now);
  (void)tw::CheckContentLength(headers, 600);

  tw::RedirectState state;
  const tw::RedirectDecision decision =
      tw::DecideRedirect(state, headers.status(), headers.Find("Location"), "http://h.org/a/b");
  if (decision.outcome == tw::RedirectOutcome::kFollow) {
    Check(state.redirect_address.has_value());
    Check(state.redirect_address->size() <= tw::kMaxAddressLength);
    for (char c : *state.redirect_address) Check(static_cast<unsigned char>(c) >= 0x20);
  }
  return 0;
}
