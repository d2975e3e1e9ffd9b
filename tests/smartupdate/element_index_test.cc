#include "smartupdate/element_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tw {
namespace {

// The index must answer exactly as SkipElement, for every start position and for ranges that
// end anywhere after it, including in the middle of an end tag.
void ExpectSameAsScan(const std::string& doc) {
  const ElementIndex index(doc);
  for (size_t at = 0; at < doc.size(); ++at) {
    if (doc[at] != '<') continue;
    for (size_t end = at + 1; end <= doc.size(); ++end) {
      const char* p = doc.data() + at;
      const auto scanned = SkipElement(p, end - at);
      const auto indexed = index.Skip(p, end - at);
      ASSERT_EQ(scanned.has_value(), indexed.has_value()) << doc << " at " << at << " end " << end;
      if (!scanned) continue;
      ASSERT_EQ(scanned->end, indexed->end) << doc << " at " << at << " end " << end;
      ASSERT_EQ(scanned->is_container, indexed->is_container);
      ASSERT_EQ(scanned->is_unclosed, indexed->is_unclosed);
      const auto extent = index.Skip(p, end - at, /*want_first_child=*/false);
      ASSERT_EQ(extent->is_unclosed, scanned->is_unclosed);
      if (extent->is_unclosed) {
        ASSERT_EQ(extent->end, doc.data() + end);
      }
    }
  }
}

TEST(ElementIndexTest, AgreesWithTheScanOnRandomTagSoup) {
  // Few names sharing prefixes, so that nesting by prefix and stray end tags are common.
  const std::vector<std::string> pieces = {"<b>",  "</b>", "<br>",  "<body>", "</body>", "<a>",
                                           "</a>", "<ab>", "</ab>", "x",      "<",       "</",
                                           ">",    "<!>",  "<img>", "<h1>",   "</h>",    "<B>"};
  ExpectSameAsScan("<a<b>x</a<b></a<b><<a></<a><</<><a<</a<><a<>x</a<>");
  ExpectSameAsScan("<abcdefghijk><abcdefghij></abcdefghij></abcdefghijk><div></div >");
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string doc;
    const int count = 1 + static_cast<int>(random() % 14);
    for (int i = 0; i < count; ++i) doc += pieces[random() % pieces.size()];
    ExpectSameAsScan(doc);
  }
}

}  // namespace
}  // namespace tw
