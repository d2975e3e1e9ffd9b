#include "checking/retrieval_rules.h"

#include <cmath>

#include "foundation/ascii.h"
#include "platform/url.h"

namespace tw {

RedirectDecision DecideRedirect(RedirectState& state, uint16_t status,
                                std::optional<std::string_view> location,
                                std::string_view address) {
  if (state.count >= kMaxRedirects) return {RedirectOutcome::kFailed, err::kInternetItemNotFound};
  bool record_permanent = false;
  if (status == 301) {
    const bool temporary_in_between = state.kind == RedirectKind::kPermanent &&
                                      state.redirect_address && state.permanent_address &&
                                      *state.redirect_address != *state.permanent_address;
    if (!temporary_in_between) {
      state.kind = RedirectKind::kPermanent;
      record_permanent = true;
    }
  } else if (status == 302 || status == 303) {
    if (state.kind != RedirectKind::kPermanent) state.kind = RedirectKind::kTemporary;
  } else {
    return {RedirectOutcome::kNotFollowed, status};
  }

  if (!location) return {RedirectOutcome::kFailed, err::kHttpHeaderNotFound};
  // The target is fetched next and may become the page's stored address: it must be a sane one.
  if (location->size() > kMaxAddressLength || HasControlCharacter(*location)) {
    return {RedirectOutcome::kFailed, err::kInternetInvalidUrl};
  }
  std::string target;
  if (HasHttpScheme(*location)) {
    target = std::string(*location);
  } else {
    const std::string_view current =
        state.redirect_address ? std::string_view(*state.redirect_address) : address;
    Result<std::string> combined = CombineUrl(current, *location);
    if (!combined.ok()) return {RedirectOutcome::kFailed, combined.error().code()};
    if (combined->size() > kMaxAddressLength) {
      return {RedirectOutcome::kFailed, err::kInternetInvalidUrl};
    }
    target = std::move(*combined);
  }
  if (record_permanent) state.permanent_address = target;
  state.redirect_address = std::move(target);
  ++state.count;
  return {RedirectOutcome::kFollow, 0};
}

ResponseTimes MoveTimesToLocalClock(const ResponseHeaders& headers, FileTime local_now) {
  // How far our clock runs ahead of the server's. Its Date has whole seconds and the response
  // takes its time to arrive, so a small difference is noise rather than a wrong clock: moving
  // by it would give one and the same Last-Modified another local time at every request, and an
  // unchanged page would look changed.
  double offset = 0;
  if (auto date = headers.Find("Date")) {
    if (auto server_now = ParseHttpDate(*date)) offset = SecondsBetween(local_now, *server_now);
  }
  if (std::fabs(offset) < kClockAgreementSeconds) offset = 0;
  ResponseTimes times;
  if (auto text = headers.Find("Last-Modified")) {
    if (auto modified = ParseHttpDate(*text)) times.last_modified = AddSeconds(*modified, offset);
  }
  if (auto text = headers.Find("Expires")) {
    if (auto expires = ParseHttpDate(*text)) times.expires = AddSeconds(*expires, offset);
  }
  return times;
}

Error CheckContentLength(const ResponseHeaders& headers, size_t body_length) {
  const auto text = headers.Find("Content-Length");
  if (!text) return Error();
  const auto expected = ParseDecimal(*text);
  if (!expected || body_length >= *expected) return Error();
  return Error(err::kInsufficientBuffer);
}

}  // namespace tw
