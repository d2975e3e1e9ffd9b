// The page database's checking settings: what reading the options changes.
#include "pagedb/checking_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "pagefile/page_file.h"
#include "support/sandbox.h"

namespace tw {
namespace {

class OptionsTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCurrentNewPageSettings({}); }

  void Set(std::string_view name, uint32_t value) {
    ASSERT_TRUE(store_.WriteDword(OptionsKey(), name, value).ok());
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};  // new pages are marked in the user's URL cache
  SettingsStore store_{sandbox_.Sub("config/tidewell/registry")};
};

TEST_F(OptionsTest, AMissingKeyFailsAndChangesNothing) {
  Event folder_changed(EventReset::kAuto);
  int schedules = 0;
  CheckingSettings settings([&](uint32_t, uint32_t) { ++schedules; }, &folder_changed);
  EXPECT_EQ(settings.Read(store_).code(), err::kFileNotFound);
  EXPECT_EQ(settings.timeout_ms(), 40000u);
  EXPECT_EQ(settings.pool_size(), 1u);
  EXPECT_TRUE(settings.re_notify());
  EXPECT_EQ(schedules, 0);
  EXPECT_FALSE(folder_changed.IsSet());
}

TEST_F(OptionsTest, TheFolderChangesOnceForEachRealChange) {
  Event folder_changed(EventReset::kManual);
  CheckingSettings settings(nullptr, &folder_changed);
  settings.set_page_folder("/data/My Tidewell");
  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, "/data/My Tidewell").ok());
  ASSERT_TRUE(settings.Read(store_).ok());
  EXPECT_FALSE(folder_changed.IsSet());

  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, "/data/my tidewell").ok());
  ASSERT_TRUE(settings.Read(store_).ok());
  EXPECT_TRUE(folder_changed.IsSet());
  EXPECT_EQ(settings.page_folder(), "/data/my tidewell");
  folder_changed.Reset();
  ASSERT_TRUE(settings.Read(store_).ok());
  EXPECT_FALSE(folder_changed.IsSet());
}

}  // namespace
}  // namespace tw
