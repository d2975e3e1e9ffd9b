// tidewell register and unregister in a temporary home: the manifests the browsers read, where
// they read them, and nothing else touched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/run_tidewell.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

namespace tw::test {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kOrigin = "chrome-extension://dcknjfnokgfijfcfkagcfcldjjglmiji/";

class RegisterTest : public ::testing::Test {
 protected:
  std::string chromium() const {
    return home_.home() + "/.config/chromium/NativeMessagingHosts/org.tidewell.native_host.json";
  }
  std::string chrome() const {
    return home_.home() +
           "/.config/google-chrome/NativeMessagingHosts/org.tidewell.native_host.json";
  }
  std::string firefox() const {
    return home_.home() + "/.mozilla/native-messaging-hosts/org.tidewell.native_host.json";
  }
  static uint32_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
  }

  Sandbox sandbox_;
  ScopedHome home_{sandbox_};
};

TEST_F(RegisterTest, WritesAManifestForEachBrowser) {
  const RunResult run = RunTidewell({"register"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string program = *RealPath(TW_TIDEWELL_PROGRAM);
  for (const std::string& path : {chromium(), chrome()}) {
    EXPECT_NE(run.out.find(path), std::string::npos) << run.out;
    const Json manifest = Json::parse(ReadFileBytes(path));
    EXPECT_EQ(manifest["name"], "org.tidewell.native_host");
    EXPECT_EQ(manifest["type"], "stdio");
    EXPECT_EQ(manifest["path"], program);
    EXPECT_EQ(manifest["allowed_origins"], Json::array({kOrigin}));
    EXPECT_FALSE(manifest.contains("allowed_extensions"));
    EXPECT_FALSE(manifest["description"].get<std::string>().empty());
    EXPECT_EQ(ModeOf(path), 0644u);
  }
  const Json firefox_manifest = Json::parse(ReadFileBytes(firefox()));
  EXPECT_EQ(firefox_manifest["name"], "org.tidewell.native_host");
  EXPECT_EQ(firefox_manifest["path"], program);
  EXPECT_EQ(firefox_manifest["allowed_extensions"], Json::array({"tidewell@tidewell.org"}));
  EXPECT_FALSE(firefox_manifest.contains("allowed_origins"));
  EXPECT_EQ(ModeOf(firefox()), 0644u);
}

TEST_F(RegisterTest, RunningItAgainReplacesWhatIsThere) {
  ASSERT_EQ(RunTidewell({"register", "--quiet"}).status, 0);
  WriteFileBytes(chromium(), "{\"path\": \"/old/place/tidewell\"}");
  const RunResult again = RunTidewell({"register", "--quiet"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(Json::parse(ReadFileBytes(chromium()))["path"], *RealPath(TW_TIDEWELL_PROGRAM));
  // Nothing but the manifests in the folders.
  const auto entries = std::filesystem::directory_iterator(FolderOf(chromium()));
  EXPECT_EQ(std::distance(std::filesystem::begin(entries), std::filesystem::end(entries)), 1);
}

TEST_F(RegisterTest, UnregisterRemovesOnlyOurManifests) {
  ASSERT_EQ(RunTidewell({"register", "--quiet"}).status, 0);
  const std::string other = FolderOf(chromium()) + "/com.example.other.json";
  const std::string firefox_other = FolderOf(firefox()) + "/other.json";
  WriteFileBytes(other, "{}");
  WriteFileBytes(firefox_other, "{}");

  const RunResult run = RunTidewell({"unregister"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(firefox()), std::string::npos) << run.out;
  EXPECT_FALSE(PathExists(chromium()));
  EXPECT_FALSE(PathExists(chrome()));
  EXPECT_FALSE(PathExists(firefox()));
  EXPECT_EQ(ReadFileBytes(other), "{}");
  EXPECT_EQ(ReadFileBytes(firefox_other), "{}");

  // Again, with nothing left to remove, it still succeeds.
  const RunResult again = RunTidewell({"unregister"});
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.out.find("No browser"), std::string::npos) << again.out;
  EXPECT_EQ(ReadFileBytes(other), "{}");
}

TEST_F(RegisterTest, AFolderThatCannotBeMadeIsReported) {
  // A file where the browser's folder must be.
  WriteFileBytes(home_.home() + "/.mozilla", "not a folder");
  const RunResult run = RunTidewell({"register"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Firefox"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace tw::test
