#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/settings_file.h"
#include "platform/settings_store.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

constexpr std::string_view kOptions = "SOFTWARE\\Orvanta\\Tidewell\\Options";

TEST(SettingsFileTest, ReadsWhatIsSoundAndKeepsWhatIsNot) {
  const SettingsDocument document = SettingsDocument::Parse(
      "; comment\r\n"
      "[SOFTWARE\\Orvanta\\Tidewell\\Options]\r\n"
      "\"Timeout\"=dword:0000001E\r\n"
      "\"Threads\"=dword:123\r\n"                // too few digits
      "\"Noc\"=dword:0000000g\r\n"               // not hex
      "\"PDB\"=\"/home/a \\\"b\\\" \\\\c\"\r\n"  // escaped quote and backslash
      "\"Broken\"=\"no end\r\n"
      "\"Bad escape\"=\"a\\nb\"\r\n"
      "garbage line\r\n"
      "  \"Interval\"=dword:00000001  \r\n"
      "\"Interval\"=dword:00000002\r\n"  // the last line of a name wins
      "[SOFTWARE\\Orvanta\\Tidewell\\Broken\r\n"
      "\"Hidden\"=dword:00000001\r\n"
      "[software\\orvanta\\tidewell\\options]\r\n"
      "\"IgnoreLastMod\"=dword:00000001\r\n");

  const std::vector<SettingsValue> values = document.Values(kOptions);
  const std::vector<SettingsValue> expected = {
      SettingsValue::Dword("Timeout", 30),
      SettingsValue::String("PDB", "/home/a \"b\" \\c"),
      SettingsValue::Dword("Interval", 2),
      SettingsValue::Dword("IgnoreLastMod", 1),
  };
  EXPECT_EQ(values, expected);
  EXPECT_EQ(document.Find("Software\\ORVANTA\\Tidewell\\Options", "TIMEOUT")->dword, 30u);
  // Values under a header that does not parse belong to no key, not to the key before it.
  EXPECT_FALSE(document.Find(kOptions, "Hidden"));
  EXPECT_FALSE(document.HasKey("SOFTWARE\\Orvanta\\Tidewell\\Broken"));
  EXPECT_TRUE(document.HasKey("SOFTWARE\\Orvanta"));
  EXPECT_EQ(document.Subkeys("SOFTWARE\\Orvanta\\Tidewell"), std::vector<std::string>{"Options"});
}

TEST(SettingsFileTest, EditsReplaceOneLineAndLeaveTheRestAsItWas) {
  const std::string text =
      "; kept\n"
      "[A\\B]\n"
      "\"x\"=dword:00000001\n"
      "damaged\n"
      "\"X\"=dword:zz\n"
      "\n"
      "[C]\n"
      "\"y\"=\"1\"\n";
  SettingsDocument document = SettingsDocument::Parse(text);
  EXPECT_EQ(document.Serialize(), text);

  document.Set("a\\b", SettingsValue::String("x", "new"));
  document.Set("C", SettingsValue::Dword("z", 0xABCDEF01));
  document.Set("D", SettingsValue::String("q\"uote", "back\\slash"));
  EXPECT_EQ(document.Serialize(),
            "; kept\n"
            "[A\\B]\n"
            "damaged\n"
            "\"x\"=\"new\"\n"
            "\n"
            "[C]\n"
            "\"y\"=\"1\"\n"
            "\"z\"=dword:abcdef01\n"
            "\n"
            "[D]\n"
            "\"q\\\"uote\"=\"back\\\\slash\"\n");
  const SettingsDocument again = SettingsDocument::Parse(document.Serialize());
  EXPECT_EQ(again.Find("D", "Q\"UOTE")->text, "back\\slash");

  EXPECT_TRUE(document.Delete("C", "Y"));
  EXPECT_FALSE(document.Delete("C", "y"));
  EXPECT_EQ(document.Values("C"),
            std::vector<SettingsValue>{SettingsValue::Dword("z", 0xABCDEF01)});
}

TEST(SettingsFileTest, DefaultValueIsTheAtLine) {
  SettingsDocument document = SettingsDocument::Parse(
      "[AppEvents\\Schemes]\n"
      "@=\"/sounds/a.wav\"\n"
      "\"@\"=dword:00000001\n"  // a value really named "@" is another value
      "@dword:00000002\n");     // no "=": nothing
  EXPECT_EQ(document.Find("AppEvents\\Schemes", "")->text, "/sounds/a.wav");
  EXPECT_EQ(document.Find("AppEvents\\Schemes", "@")->dword, 1u);
  EXPECT_EQ(document.Values("AppEvents\\Schemes").size(), 2u);

  document.Set("K", SettingsValue::String("", "x"));
  EXPECT_NE(document.Serialize().find("[K]\n@=\"x\"\n"), std::string::npos);
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  test::Sandbox sandbox_;
  SettingsStore store_{sandbox_.Sub("config/tidewell/registry")};
};

TEST_F(SettingsStoreTest, ReadsWritesAndDeletesWithTypes) {
  EXPECT_EQ(store_.ReadDword(kOptions, "Timeout").error().code(), err::kFileNotFound);
  EXPECT_EQ(store_.OpenKey(kOptions).error().code(), err::kFileNotFound);

  ASSERT_TRUE(store_.WriteDword(kOptions, "Timeout", 30).ok());  // makes folder and file
  ASSERT_TRUE(store_.WriteString(kOptions, "PDB", "/data/My Tidewell").ok());
  EXPECT_EQ(*store_.ReadDword(kOptions, "timeout"), 30u);
  EXPECT_EQ(*store_.ReadString(kOptions, "PDB"), "/data/My Tidewell");
  // The other type reads as missing.
  EXPECT_EQ(store_.ReadString(kOptions, "Timeout").error().code(), err::kFileNotFound);
  EXPECT_EQ(store_.ReadDword(kOptions, "PDB").error().code(), err::kFileNotFound);

  ASSERT_TRUE(store_.DeleteValue(kOptions, "TIMEOUT").ok());
  EXPECT_EQ(store_.ReadDword(kOptions, "Timeout").error().code(), err::kFileNotFound);
  EXPECT_TRUE(store_.DeleteValue(kOptions, "Timeout").ok());
  EXPECT_TRUE(store_.DeleteValue("No\\Such\\Key", "Timeout").ok());

  // A text that would break the line structure is refused before anything is written.
  EXPECT_EQ(store_.WriteString(kOptions, "PDB", "a\nb").code(), err::kInvalidParameter);
  EXPECT_EQ(store_.WriteDword(kOptions, "A\rB", 1).code(), err::kInvalidParameter);
  EXPECT_EQ(store_.WriteDword("", "A", 1).code(), err::kInvalidParameter);
  EXPECT_EQ(*store_.ReadString(kOptions, "PDB"), "/data/My Tidewell");

  // Several values at once, or none of them when one cannot be written.
  ASSERT_TRUE(store_
                  .WriteValues(kOptions, {SettingsValue::Dword("RunBkg", 0),
                                          SettingsValue::String("PDB", "/elsewhere")})
                  .ok());
  EXPECT_EQ(*store_.ReadDword(kOptions, "RunBkg"), 0u);
  EXPECT_EQ(*store_.ReadString(kOptions, "PDB"), "/elsewhere");
  EXPECT_EQ(store_
                .WriteValues(kOptions, {SettingsValue::Dword("RunBkg", 1),
                                        SettingsValue::String("PDB", "x\ny")})
                .code(),
            err::kInvalidParameter);
  EXPECT_EQ(*store_.ReadDword(kOptions, "RunBkg"), 0u);
}

// A reader must never take a sound store for a missing one: the page folder setting would be
// replaced by the default.
TEST_F(SettingsStoreTest, AReaderDuringWritesSeesEveryValue) {
  ASSERT_TRUE(store_.WriteString(kOptions, "PDB", "/data/My Tidewell").ok());
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (uint32_t i = 0; i < 500; ++i) (void)store_.WriteDword(kOptions, "Counter", i);
    done = true;
  });
  int failures = 0;
  while (!done) failures += store_.ReadString(kOptions, "PDB").ok() ? 0 : 1;
  writer.join();
  EXPECT_EQ(failures, 0);
}

TEST_F(SettingsStoreTest, KeysAreOpenedCreatedAndEnumerated) {
  EXPECT_EQ(store_.EnumSubkeys("SOFTWARE\\Orvanta").error().code(), err::kFileNotFound);
  Result<SettingsKey> created = store_.OpenKey(kOptions, KeyDisposition::kCreate);
  ASSERT_TRUE(created.ok());
  EXPECT_TRUE(created->values().empty());
  EXPECT_TRUE(store_.OpenKey(kOptions).ok());
  ASSERT_TRUE(store_.WriteDword("SOFTWARE\\Orvanta\\Tidewell", "Root", 1).ok());
  EXPECT_EQ(*store_.EnumSubkeys("software\\orvanta"), std::vector<std::string>{"Tidewell"});
  EXPECT_EQ(*store_.EnumSubkeys("SOFTWARE\\Orvanta\\Tidewell"),
            std::vector<std::string>{"Options"});
  EXPECT_EQ(store_.OpenKey("SOFTWARE\\Orvanta\\Tidewell")->values().size(), 1u);
}

TEST_F(SettingsStoreTest, AStoreOverItsCapIsNeitherReadNorCutByAWrite) {
  ASSERT_TRUE(store_.WriteDword(kOptions, "Timeout", 30).ok());
  const std::string big =
      test::ReadFileBytes(store_.path()) + std::string(kMaxSettingsFileSize, ';') + "\n";
  test::WriteFileBytes(store_.path(), big);
  EXPECT_EQ(store_.ReadDword(kOptions, "Timeout").error().code(), err::kNotEnoughMemory);
  EXPECT_EQ(store_.WriteDword(kOptions, "Threads", 2).code(), err::kNotEnoughMemory);
  EXPECT_EQ(test::ReadFileBytes(store_.path()), big);
}

TEST_F(SettingsStoreTest, AWriteKeepsWhatAHandEditDamaged) {
  test::WriteFileBytes(sandbox_.Sub("config/tidewell", true) + "/registry",
                       "[SOFTWARE\\Orvanta\\Tidewell\\Options]\n"
                       "\"Timeout\"=dword:0000001e\n"
                       "\"Threads\"=dword:oops\n"
                       "\"Noc\"=dword:00000003\n");
  EXPECT_EQ(*store_.ReadDword(kOptions, "Noc"), 3u);
  ASSERT_TRUE(store_.WriteDword(kOptions, "Interval", 1).ok());
  EXPECT_EQ(test::ReadFileBytes(store_.path()),
            "[SOFTWARE\\Orvanta\\Tidewell\\Options]\n"
            "\"Timeout\"=dword:0000001e\n"
            "\"Threads\"=dword:oops\n"
            "\"Noc\"=dword:00000003\n"
            "\"Interval\"=dword:00000001\n");
}

TEST_F(SettingsStoreTest, ConcurrentWritersInThreeProcessesLoseNothing) {
  constexpr int kCount = 40;
  ASSERT_TRUE(store_.OpenKey(kOptions, KeyDisposition::kCreate).ok());
  std::vector<test::ChildProcess> writers;
  for (const char* prefix : {"a", "b"}) {
    writers.push_back(
        test::ChildProcess::SpawnHelper({"settings-write-many", store_.path(),
                                         std::string(kOptions), prefix, std::to_string(kCount)}));
  }
  for (test::ChildProcess& writer : writers) ASSERT_EQ(writer.ReadLine(), "ready");
  for (int i = 0; i < kCount; ++i) {
    ASSERT_TRUE(
        store_.WriteDword(kOptions, "c" + std::to_string(i), static_cast<uint32_t>(i)).ok());
  }
  for (test::ChildProcess& writer : writers) EXPECT_EQ(writer.Wait(), 0);

  Result<SettingsKey> key = store_.OpenKey(kOptions);
  ASSERT_TRUE(key.ok());
  EXPECT_EQ(key->values().size(), 3u * kCount);
  for (const char* prefix : {"a", "b", "c"}) {
    for (int i = 0; i < kCount; ++i) {
      EXPECT_EQ(*key->ReadDword(prefix + std::to_string(i)), static_cast<uint32_t>(i));
    }
  }
}

TEST_F(SettingsStoreTest, AWatcherSeesAnotherProcessChangeItsKeyOnly) {
  Result<SettingsWatch> watch = SettingsWatch::Create(store_, std::string(kOptions));
  ASSERT_TRUE(watch.ok());

  auto wait_for_change = [&] {
    return test::WaitFor([&] {
      return WaitForAny({&*watch}, std::chrono::milliseconds(50)).signaled() && watch->TakeChange();
    });
  };

  ASSERT_EQ(test::RunHelper(
                {"settings-set-string", store_.path(), std::string(kOptions), "PDB", "/elsewhere"}),
            0);
  EXPECT_TRUE(wait_for_change());

  // Another key, or the same value written again, is no change of this key.
  ASSERT_EQ(test::RunHelper({"settings-set-string", store_.path(), "SOFTWARE\\Orvanta\\Tidewell",
                             "TAFFrom", "Ann"}),
            0);
  ASSERT_EQ(test::RunHelper(
                {"settings-set-string", store_.path(), std::string(kOptions), "PDB", "/elsewhere"}),
            0);
  ASSERT_TRUE(WaitForAny({&*watch}, std::chrono::seconds(5)).signaled());
  EXPECT_FALSE(watch->TakeChange());

  ASSERT_TRUE(store_.DeleteValue(kOptions, "PDB").ok());
  EXPECT_TRUE(wait_for_change());
}

}  // namespace
}  // namespace tw
