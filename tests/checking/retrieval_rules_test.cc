#include "checking/retrieval_rules.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

RedirectDecision Redirect(RedirectState& state, uint16_t status, std::string_view location) {
  return DecideRedirect(state, status, location, "http://start.org/dir/page");
}

TEST(RedirectRulesTest, ATemporaryRedirectBetweenPermanentOnesKeepsTheFirstTarget) {
  RedirectState state;
  Redirect(state, 301, "http://a.org/");
  EXPECT_EQ(state.permanent_address, "http://a.org/");
  Redirect(state, 302, "http://b.org/");
  Redirect(state, 301, "http://c.org/");
  EXPECT_EQ(state.kind, RedirectKind::kPermanent);
  EXPECT_EQ(state.permanent_address, "http://a.org/");
  EXPECT_EQ(state.redirect_address, "http://c.org/");

  RedirectState straight;  // two permanent moves in a row: the page moves to the last
  Redirect(straight, 301, "http://a.org/");
  Redirect(straight, 301, "http://c.org/");
  EXPECT_EQ(straight.permanent_address, "http://c.org/");
}

TEST(RedirectRulesTest, OnlyThreeStatusesAreFollowed) {
  for (uint16_t status : {300, 304, 305, 307, 308}) {
    RedirectState state;
    const RedirectDecision d = Redirect(state, status, "http://x.org/");
    EXPECT_EQ(d.outcome, RedirectOutcome::kNotFollowed) << status;
    EXPECT_EQ(d.code, status);
    EXPECT_EQ(state.count, 0u);
  }
}

TEST(RedirectRulesTest, ResolvesRelativeTargetsAgainstTheAddressJustFetched) {
  RedirectState state;
  Redirect(state, 302, "/Top?Q=1");
  EXPECT_EQ(state.redirect_address, "http://start.org/Top?Q=1");
  Redirect(state, 303, "https://other.org:8443/a/b");
  Redirect(state, 302, "c");
  EXPECT_EQ(state.redirect_address, "https://other.org:8443/a/c");

  RedirectState missing;
  EXPECT_EQ(DecideRedirect(missing, 302, std::nullopt, "http://h.org/").code,
            err::kHttpHeaderNotFound);
  RedirectState hostile;
  EXPECT_EQ(Redirect(hostile, 302, "http://h.org/\r\nX: y").code, err::kInternetInvalidUrl);
  EXPECT_EQ(Redirect(hostile, 302, "/" + std::string(kMaxAddressLength, 'a')).code,
            err::kInternetInvalidUrl);
}

TEST(ResponseTimesTest, MovesTimesFromTheServerClockToOurs) {
  const FileTime local_now = FileTime::FromUnixSeconds(1'700'000'000);
  ResponseHeaders ahead;  // the server's clock runs an hour ahead of ours
  ahead.AddLine("HTTP/1.1 200 OK\r\n");
  ahead.AddLine("Date: Tue, 14 Nov 2023 23:13:20 GMT\r\n");  // 1'700'003'600
  ahead.AddLine("Last-Modified: Tue, 14 Nov 2023 23:13:20 GMT\r\n");
  ahead.AddLine("Expires: Wed, 15 Nov 2023 00:13:20 GMT\r\n");
  const ResponseTimes times = MoveTimesToLocalClock(ahead, local_now);
  EXPECT_EQ(times.last_modified, local_now);
  EXPECT_EQ(times.expires, FileTime::FromUnixSeconds(1'700'003'600));

  // A server whose clock agrees with ours keeps its times exactly, however far into its second
  // the Date was cut and however long the response took, so that an unchanged Last-Modified
  // stays the same from one request to the next.
  ResponseHeaders in_step;
  in_step.AddLine("HTTP/1.1 200 OK\r\n");
  in_step.AddLine("Date: Tue, 14 Nov 2023 22:13:20 GMT\r\n");  // 1'700'000'000
  in_step.AddLine("Last-Modified: Tue, 14 Nov 2023 21:13:20 GMT\r\n");
  for (double late : {0.0, 0.4, 0.9, 1.7}) {
    EXPECT_EQ(MoveTimesToLocalClock(in_step, AddSeconds(local_now, late)).last_modified,
              FileTime::FromUnixSeconds(1'700'000'000 - 3600))
        << late;
  }

  ResponseHeaders undated;  // without Date the server is taken to agree with us
  undated.AddLine("HTTP/1.1 200 OK\r\n");
  undated.AddLine("Last-Modified: Tue, 14 Nov 2023 22:13:20 GMT\r\n");
  undated.AddLine("Expires: 0\r\n");
  const ResponseTimes plain = MoveTimesToLocalClock(undated, local_now);
  EXPECT_EQ(plain.last_modified, local_now);
  EXPECT_TRUE(plain.expires.IsZero());
}

}  // namespace
}  // namespace tw
