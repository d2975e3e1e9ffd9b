#include "platform/url_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

TEST(UrlCacheTest, MarksAreExactAndPersist) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("marks.sqlite");
  {
    Result<UrlCache> cache = UrlCache::Open(path);
    ASSERT_TRUE(cache.ok());
    EXPECT_FALSE(*cache->IsMarked("http://a.org/"));
    ASSERT_TRUE(cache->Mark("http://a.org/").ok());
    ASSERT_TRUE(cache->Mark("http://a.org/").ok());
    const std::vector<std::string> many = {"http://b.org/", "http://c.org/\xE9", "http://a.org/"};
    ASSERT_TRUE(cache->MarkAll(many).ok());
    EXPECT_FALSE(*cache->IsMarked("http://A.org/"));
    EXPECT_FALSE(*cache->IsMarked("http://a.org"));
    ASSERT_TRUE(cache->Unmark("http://b.org/").ok());
    ASSERT_TRUE(cache->Unmark("http://never.org/").ok());
  }
  Result<UrlCache> again = UrlCache::Open(path);
  ASSERT_TRUE(again.ok());
  EXPECT_TRUE(*again->IsMarked("http://a.org/"));
  EXPECT_TRUE(*again->IsMarked("http://c.org/\xE9"));
  EXPECT_FALSE(*again->IsMarked("http://b.org/"));
}

TEST(UrlCacheTest, TheUsersCacheLivesUnderTheDataHome) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  ASSERT_TRUE(MarkAddress("http://x.org/").ok());
  EXPECT_TRUE(*IsAddressMarked("http://x.org/"));
  EXPECT_FALSE(test::ReadFileBytes(home.home() + "/.local/share/tidewell/urlcache.sqlite").empty());
  ASSERT_TRUE(UnmarkAddress("http://x.org/").ok());
  EXPECT_FALSE(*IsAddressMarked("http://x.org/"));
}

TEST(UrlCacheTest, ADamagedDatabaseFailsInsteadOfCrashing) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("marks.sqlite");
  test::WriteFileBytes(path, std::string(4096, 'x'));
  EXPECT_EQ(UrlCache::Open(path).error().code(), err::kInvalidData);
}

TEST(UrlCacheTest, SeveralProcessesMarkAtOnceWithoutLosingAny) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("marks.sqlite");
  constexpr int kCount = 150;
  std::vector<test::ChildProcess> markers;
  for (const char* prefix : {"a", "b"}) {
    markers.push_back(test::ChildProcess::SpawnHelper({"url-mark-many", path,
                                                       std::string("http://") + prefix + ".org/",
                                                       std::to_string(kCount)}));
  }
  for (test::ChildProcess& marker : markers) ASSERT_EQ(marker.ReadLine(), "ready");
  Result<UrlCache> cache = UrlCache::Open(path);
  ASSERT_TRUE(cache.ok());
  for (int i = 0; i < kCount; ++i) {
    ASSERT_TRUE(cache->Mark("http://c.org/" + std::to_string(i)).ok());
  }
  for (test::ChildProcess& marker : markers) EXPECT_EQ(marker.Wait(), 0);
  for (const char* prefix : {"a", "b", "c"}) {
    for (int i = 0; i < kCount; ++i) {
      const std::string address = std::string("http://") + prefix + ".org/" + std::to_string(i);
      EXPECT_TRUE(*cache->IsMarked(address)) << address;
    }
  }
}

}  // namespace
}  // namespace tw
