// Test helper commands that run Smart History in a process of their own, against the user's
// browsers and URL cache below the HOME they inherit.
#include <cstdio>

#include "history/smart_history.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

const char* OutcomeName(NavigationOutcome outcome) {
  switch (outcome) {
    case NavigationOutcome::kIgnored:
      return "ignored";
    case NavigationOutcome::kWatchedPage:
      return "watched";
    case NavigationOutcome::kKnown:
      return "known";
    case NavigationOutcome::kNotFrequent:
      return "not-frequent";
    case NavigationOutcome::kAdded:
      return "added";
    case NavigationOutcome::kProposed:
      return "proposed";
    case NavigationOutcome::kKeptKnown:
      return "kept-known";
    case NavigationOutcome::kProposalFailed:
      return "proposal-failed";
  }
  return "?";
}

class AcceptingPages : public SmartHistoryPages {
 public:
  void ClearUpdated(const WatchedPage&) override {}
  AddResult AddPage(const std::string&, const std::string&) override { return AddResult::kAdded; }
  bool Propose(const std::string&, const std::string&) override { return true; }
};

// navigate ADDRESS: decides on one navigation with the user's history and marks; prints what
// came of it.
HelperCommand navigate("navigate", [](const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  const FileTime now = Now();
  Result<UserHistory> history = ReadUserHistory(now);
  Result<UrlCache> marks = UrlCache::OpenUser();
  if (!history.ok() || !marks.ok()) return 1;
  const NavigationIndex index(*history);
  AcceptingPages pages;
  NavigationContext context;
  context.history = &index;
  context.now = now;
  const NavigationOutcome outcome =
      DecideNavigation(Navigation{args[0], ""}, context, *marks, pages, nullptr);
  std::printf("%s\n", OutcomeName(outcome));
  return 0;
});

// reset-smart-history PAGE-ADDRESS...: forgets every known address but those.
HelperCommand reset("reset-smart-history", [](const std::vector<std::string>& args) {
  Result<UrlCache> marks = UrlCache::OpenUser();
  if (!marks.ok()) return 1;
  return ResetSmartHistory(*marks, args).ok() ? 0 : 1;
});

}  // namespace
}  // namespace tw::test
