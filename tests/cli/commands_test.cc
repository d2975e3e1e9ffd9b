// The tidewell program's commands, run as a user runs them, against a temporary HOME.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "app/application.h"
#include "cli/run_tidewell.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "settings/checking_options.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using Json = nlohmann::json;

class CommandsTest : public ::testing::Test {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  SettingsStore store() const { return *SettingsStore::OpenUser(); }
  std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

  // A fake xdg-open first on PATH: it writes each argument on a line of `opened_` and ends with
  // `status`.
  void FakeOpener(int status) {
    const std::string bin = sandbox_.Sub("bin", true);
    test::WriteScript(bin, "xdg-open",
                      "printf '%s\\n' \"$@\" > '" + opened_ + "'\nexit " + std::to_string(status));
    path_.emplace("PATH", bin + ":/usr/bin:/bin");
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  std::string opened_ = sandbox_.Sub("opened");
  std::optional<test::ScopedEnv> path_;
};

TEST_F(CommandsTest, OpenHandsTheAddressToTheOpenerAsOneArgument) {
  FakeOpener(0);
  // Text a shell would act on reaches the opener untouched.
  const std::string address = "http://example.org/a b;$(touch x)'\"";
  ASSERT_TRUE(test::AddPageAtOnce(address, "Odd"));
  Result<PageHeader> header = ReadPageHeader(folder(), "Odd");
  header->updated = 1;
  ASSERT_FALSE(WritePageHeader(folder(), "Odd", *header));

  test::RunResult run = test::RunTidewell({"open", PagePath(folder(), "Odd")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFileBytes(opened_), address + "\n");
  EXPECT_EQ(ReadPageHeader(folder(), "Odd")->updated, 1) << "opening leaves the flag alone";

  // A name without a folder is looked for in the current directory.
  std::remove(opened_.c_str());
  run = test::RunTidewell({"open", "Odd.twp"}, folder());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFileBytes(opened_), address + "\n");
}

TEST_F(CommandsTest, OpenWaitsForACheckThatRewritesThePage) {
  FakeOpener(0);
  ASSERT_TRUE(test::AddPageAtOnce("http://example.org/", "Busy"));
  const std::string page = PagePath(folder(), "Busy");
  // A check replacing the file holds it for a moment.
  Result<File> held =
      File::Open(page, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenExisting});
  ASSERT_TRUE(held.ok());
  std::thread check([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    (void)held->Close();
  });
  const test::RunResult run = test::RunTidewell({"open", page});
  check.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFileBytes(opened_), "http://example.org/\n");
}

TEST_F(CommandsTest, OpenFailsWithTheMessageOfWhatWentWrong) {
  FakeOpener(3);
  ASSERT_TRUE(test::AddPageAtOnce("http://example.org/", "Page"));
  const std::string page = PagePath(folder(), "Page");
  const std::string could_not_load = "Tidewell: Could not load the page.";

  test::RunResult run = test::RunTidewell({"open", page});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(FirstLine(run.err),
            "Tidewell: An error occurred while communicating with the web browser.");

  run = test::RunTidewell({"open", folder() + "/Missing.twp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(FirstLine(run.err), could_not_load);

  // A file without an extension, and one that is not a page file.
  test::WriteFileBytes(folder() + "/noext", "x");
  run = test::RunTidewell({"open", folder() + "/noext"});
  EXPECT_EQ(FirstLine(run.err), could_not_load);
  test::WriteFileBytes(folder() + "/Bad.twp", "not a page");
  run = test::RunTidewell({"open", folder() + "/Bad.twp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(FirstLine(run.err), could_not_load);

  // A page file from elsewhere naming a local file is not handed to the opener.
  FakeOpener(0);
  std::remove(opened_.c_str());
  PageSummary local;
  local.SetAddress("file:///etc/passwd");
  ASSERT_FALSE(CreatePageFile(folder(), "Local", local));
  run = test::RunTidewell({"open", PagePath(folder(), "Local")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(FirstLine(run.err), could_not_load);
  EXPECT_FALSE(PathExists(opened_));

  // No opener at all.
  path_.emplace("PATH", sandbox_.Sub("empty", true));
  run = test::RunTidewell({"open", page});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(FirstLine(run.err),
            "Tidewell: An error occurred while communicating with the web browser.");
}

TEST_F(CommandsTest, ListAndInfoShowThePagesAsStored) {
  test::RunResult run = test::RunTidewell({"list", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Json::parse(run.out)["pages"].size(), 0u);

  ASSERT_TRUE(test::AddPageAtOnce("http://b.example/", "Beta"));
  ASSERT_TRUE(test::AddPageAtOnce("http://a.example/", "alpha"));
  // Beta: updated, in HTTP error, with masks and a frame.
  Result<std::unique_ptr<PageRecord>> beta = ReadPage(folder(), "Beta");
  PageRecord& b = **beta;
  b.updated = 1;
  b.updatedTime = FileTime{133'000'000'000'000'000};
  b.lastModified = FileTime{132'000'000'000'000'000};
  b.status = StatusHttpError;
  b.errorCode = 404;
  b.measuredWait = 7;
  b.SetContent("<p>hi</p>");
  b.masks.Append(std::make_unique<MaskEntry>(3, 1, 2));
  auto frame = std::make_unique<FrameEntry>();
  frame->SetAddress("http://b.example/frame");
  frame->SetContent("f");
  frame->waitSeconds = 9;
  frame->masks.Append(std::make_unique<MaskEntry>(4, 5, 6));
  b.frames.Append(std::move(frame));
  ASSERT_FALSE(WritePage(folder(), b));
  test::WriteFileBytes(folder() + "/Broken.twp", "x");

  run = test::RunTidewell({"list", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const Json list = Json::parse(run.out);
  EXPECT_EQ(list["folder"], folder());
  ASSERT_EQ(list["pages"].size(), 3u);
  const Json& alpha = list["pages"][0];  // sorted by title, case aside
  EXPECT_EQ(alpha["title"], "alpha");
  EXPECT_EQ(alpha["address"], "http://a.example/");
  EXPECT_EQ(alpha["updated"], false);
  EXPECT_TRUE(alpha["error"].is_null());
  const Json& listed_beta = list["pages"][1];
  EXPECT_EQ(listed_beta["updated"], true);
  EXPECT_EQ(listed_beta["updatedTime"], 133'000'000'000'000'000ull);
  EXPECT_EQ(listed_beta["error"], "Object not found");
  const Json& broken = list["pages"][2];
  EXPECT_EQ(broken["title"], "Broken");
  EXPECT_EQ(broken["status"], StatusSystemError);
  EXPECT_EQ(broken["errorCode"], 13);
  EXPECT_EQ(broken["error"], "The file holds data that Tidewell cannot read.");

  run = test::RunTidewell({"list"});
  EXPECT_NE(run.out.find("3 pages, 1 updated"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Error: Object not found"), std::string::npos) << run.out;

  run = test::RunTidewell({"info", PagePath(folder(), "Beta"), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const Json info = Json::parse(run.out);
  EXPECT_EQ(info["version"], 1);
  EXPECT_EQ(info["updated"], 1);
  EXPECT_EQ(info["status"], 3);
  EXPECT_EQ(info["errorCode"], 404);
  EXPECT_EQ(info["smartUpdate"], 1);
  EXPECT_EQ(info["measuredWait"], 7);
  EXPECT_EQ(info["lastModified"], 132'000'000'000'000'000ull);
  EXPECT_EQ(info["expires"], 0);
  EXPECT_EQ(info["address"], "http://b.example/");
  EXPECT_EQ(info["contentLength"], 9);
  EXPECT_EQ(info["masks"], Json::parse(R"([{"index":3,"kind":1,"count":2}])"));
  ASSERT_EQ(info["frames"].size(), 1u);
  EXPECT_EQ(info["frames"][0], Json::parse(R"({"waitSeconds":9,"lastModified":0,"expires":0,
      "address":"http://b.example/frame","contentLength":1,
      "masks":[{"index":4,"kind":5,"count":6}]})"));
  for (const char* name :
       {"ignoreLastModified", "ignoreExpires", "checkCount", "waitSeconds", "updatedTime"}) {
    EXPECT_TRUE(info.contains(name)) << name;
  }

  run = test::RunTidewell({"info", folder() + "/Broken.twp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
}

TEST_F(CommandsTest, OptionShowsStoredAndEffectiveValuesAndSetsByType) {
  // Nothing stored yet: in effect are the values every check takes then.
  test::RunResult run = test::RunTidewell({"option", "PageReNotify"});
  EXPECT_NE(run.out.find("(not set)  off"), std::string::npos) << run.out;

  ASSERT_FALSE(store().WriteDword(OptionsKey(), option::kTimeout, 600));
  ASSERT_FALSE(store().WriteString(OptionsKey(), option::kThreads, "4"));  // of the wrong type
  run = test::RunTidewell({"option"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Timeout            600"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("300 seconds"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("(of the wrong type; ignored)"), std::string::npos) << run.out;

  EXPECT_EQ(test::RunTidewell({"option", "threads", "8"}).status, 0);
  EXPECT_EQ(*store().ReadDword(OptionsKey(), option::kThreads), 8u);
  EXPECT_EQ(test::RunTidewell({"option", "Interval", "minutes"}).status, 0);
  EXPECT_EQ(*store().ReadDword(OptionsKey(), option::kInterval), 1u);
  EXPECT_EQ(test::RunTidewell({"option", "PageReNotify", "on"}).status, 0);
  EXPECT_EQ(*store().ReadDword(OptionsKey(), option::kPageReNotify), 1u);
  const std::string pages = sandbox_.Sub("pages", true);
  run = test::RunTidewell({"option", "PDB", "pages"}, sandbox_.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(*store().ReadString(OptionsKey(), option::kPdb), *RealPath(pages));
  run = test::RunTidewell({"option", "Threads"});
  EXPECT_NE(run.out.find("Threads            8"), std::string::npos) << run.out;

  // Refused values leave the store alone.
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"option", "Threads", "32"},
                                              {"option", "Threads", "-1"},
                                              {"option", "Noc", "x"},
                                              {"option", "Interval", "3"},
                                              {"option", "Interval", "none"},
                                              {"option", "PageReNotify", "2"},
                                              {"option", "PDB", sandbox_.Sub("nowhere")},
                                              {"option", "Nothing", "1"}}) {
    run = test::RunTidewell(bad);
    EXPECT_EQ(run.status, 2) << bad[1] << " " << bad[2];
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_EQ(*store().ReadDword(OptionsKey(), option::kThreads), 8u);
  EXPECT_EQ(*store().ReadDword(OptionsKey(), option::kInterval), 1u);
  EXPECT_EQ(*store().ReadString(OptionsKey(), option::kPdb), *RealPath(pages));

  EXPECT_EQ(test::RunTidewell({"option", "Threads", "--unset"}).status, 0);
  EXPECT_FALSE(store().ReadDword(OptionsKey(), option::kThreads).ok());
}

TEST_F(CommandsTest, HelpVersionAndUsageErrors) {
  test::RunResult run = test::RunTidewell({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "tidewell " TW_VERSION "\n");
  const test::RunResult help = test::RunTidewell({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"serve", "add", "open", "refresh", "list", "info", "option"}) {
    EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    run = test::RunTidewell({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(FirstLine(run.out).rfind(std::string("Usage: tidewell ") + command, 0), 0u);
  }
  EXPECT_EQ(test::RunTidewell({"frobnicate"}).status, 2);
  EXPECT_EQ(test::RunTidewell({"serve", "--port", "70000"}).status, 2);
  EXPECT_EQ(test::RunTidewell({"serve", "--port"}).status, 2);
  run = test::RunTidewell({"help", "frobnicate"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(FirstLine(run.err), "tidewell: unknown command 'frobnicate'");
  EXPECT_EQ(test::RunTidewell({"add"}).status, 2);
  EXPECT_EQ(test::RunTidewell({"add", "a", "b", "c"}).status, 2);
  EXPECT_EQ(test::RunTidewell({"list", "--jsn"}).status, 2);
  // A title that starts with a dash goes after "--".
  run = test::RunTidewell({"add", "--", "http://example.org/", "-dash"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Added page \"-dash\".\n");
}

}  // namespace
}  // namespace tw
