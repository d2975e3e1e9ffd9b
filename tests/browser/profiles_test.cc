// Finding the user's browsers and profiles below a home of the test's own.
#include "browser/profiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "browser/firefox_profiles.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

namespace tw {
namespace {

std::vector<std::string> Folders(const std::vector<IniProfile>& profiles) {
  std::vector<std::string> out;
  for (const IniProfile& p : profiles) out.push_back(p.folder + (p.is_default ? " *" : ""));
  return out;
}

TEST(FirefoxProfilesTest, ListsEveryProfileWithTheOneTheBrowserStarts) {
  const std::string dir = "/home/u/.mozilla/firefox";
  // Each installed browser names its own default; Default=1 is what older browsers used.
  EXPECT_EQ(
      Folders(ProfilesFromIni("[Profile1]\nName=a\nIsRelative=1\nPath=aaa.other\n"
                              "[Profile0]\nName=b\nIsRelative=1\nPath=bbb.default\nDefault=1\n"
                              "[Install4F96D1932A9F858E]\nDefault=ccc.default-release\n"
                              "[Install11457493C5A56847]\nDefault=aaa.other\n",
                              dir)),
      (std::vector<std::string>{dir + "/aaa.other *", dir + "/bbb.default",
                                dir + "/ccc.default-release *"}));
  EXPECT_EQ(Folders(ProfilesFromIni("[General]\r\nStartWithLastProfile=1\r\n[Profile1]\r\n"
                                    "Path=aaa.other\r\nIsRelative=1\r\n[Profile0]\r\n"
                                    "Path=/abs/bbb\r\nIsRelative=0\r\nDefault=1\r\n",
                                    dir)),
            (std::vector<std::string>{dir + "/aaa.other", "/abs/bbb *"}));
  EXPECT_EQ(Folders(ProfilesFromIni("[Profile0]\nPath=first\n[Profile1]\nPath=second\n", dir)),
            (std::vector<std::string>{dir + "/first *", dir + "/second"}));
  const std::vector<IniProfile> named = ProfilesFromIni("[Profile0]\nName=Work\nPath=w\n", dir);
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].name, "Work");
  EXPECT_TRUE(ProfilesFromIni("[General]\nVersion=2\n", dir).empty());
  EXPECT_TRUE(ProfilesFromIni("Path=no-section\n[Profile0]\nName=no path\n", dir).empty());
}

TEST(ChromiumProfilesTest, ReadsTheProfilesOfLocalState) {
  Result<std::vector<LocalStateProfile>> listed = ProfilesFromLocalState(R"({
      "browser": {"enabled_labs_experiments": []},
      "profile": {"last_used": "Profile 1",
                  "info_cache": {"Default": {"name": "Person 1"},
                                 "Profile 1": {"name": "Work"},
                                 "../escape": {"name": "Not a folder of the browser"},
                                 "Profile 2": {}}}})");
  ASSERT_TRUE(listed.ok());
  ASSERT_EQ(listed->size(), 3u);
  EXPECT_EQ((*listed)[0].folder_name, "Default");
  EXPECT_EQ((*listed)[0].name, "Person 1");
  EXPECT_FALSE((*listed)[0].is_last_used);
  EXPECT_EQ((*listed)[1].name, "Work");
  EXPECT_TRUE((*listed)[1].is_last_used);
  EXPECT_EQ((*listed)[2].name, "Profile 2");  // no name of its own

  // Without a last used profile the browser starts with "Default".
  listed = ProfilesFromLocalState(R"({"profile": {"info_cache": {"Default": {}}}})");
  ASSERT_TRUE(listed.ok());
  EXPECT_TRUE(listed->at(0).is_last_used);
  EXPECT_EQ(ProfilesFromLocalState("[]").error().code(), err::kInvalidData);
  EXPECT_EQ(ProfilesFromLocalState("{\"profile\": 3}").error().code(), err::kInvalidData);
  EXPECT_EQ(ProfilesFromLocalState("{\"profile\": {").error().code(), err::kInvalidData);
  EXPECT_EQ(ProfilesFromLocalState(std::string(100000, '[')).error().code(), err::kInvalidData);
}

class FindProfilesTest : public testing::Test {
 protected:
  void MakeFirefoxHome(const std::string& dir, const std::string& ini,
                       const std::vector<std::string>& profiles) {
    ASSERT_TRUE(CreateDirectories(dir).ok());
    test::WriteFileBytes(dir + "/profiles.ini", ini);
    for (const std::string& p : profiles) ASSERT_TRUE(CreateDirectories(dir + "/" + p).ok());
  }

  std::vector<std::string> Found() {
    std::vector<std::string> out;
    for (const BrowserProfile& p : FindBrowserProfiles()) {
      std::string folder = p.folder;
      if (folder.starts_with(home_.home())) folder = "~" + folder.substr(home_.home().size());
      out.push_back(p.browser + "|" + p.name + "|" + folder + (p.is_default ? "|default" : ""));
    }
    return out;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
};

TEST_F(FindProfilesTest, FindsFirefoxInEachOfItsHomes) {
  EXPECT_TRUE(Found().empty());
  const std::string& home = home_.home();
  // The current browser's home below XDG_CONFIG_HOME, the older one, and the packaged ones.
  MakeFirefoxHome(home + "/.config/mozilla/firefox",
                  "[Profile0]\nName=default-esr\nPath=esr.default-esr\n"
                  "[Install3B6073811A6ABF12]\nDefault=esr.default-esr\n",
                  {"esr.default-esr"});
  MakeFirefoxHome(home + "/.mozilla/firefox",
                  "[Profile0]\nName=old\nPath=old.default\n[Profile1]\nName=gone\nPath=gone\n"
                  "[Profile2]\nName=main\nPath=main.default\nDefault=1\n",
                  {"old.default", "main.default"});
  MakeFirefoxHome(home + "/snap/firefox/common/.mozilla/firefox",
                  "[Profile0]\nName=snap\nPath=s.default\n", {"s.default"});
  MakeFirefoxHome(home + "/.var/app/org.mozilla.firefox/.mozilla/firefox",
                  "[Profile0]\nName=flat\nPath=f.default\n", {"f.default"});
  EXPECT_EQ(Found(), (std::vector<std::string>{
                         "Firefox|default-esr|~/.config/mozilla/firefox/esr.default-esr|default",
                         "Firefox|main|~/.mozilla/firefox/main.default|default",
                         "Firefox|old|~/.mozilla/firefox/old.default",
                         "Firefox|snap|~/snap/firefox/common/.mozilla/firefox/s.default|default",
                         "Firefox|flat|~/.var/app/org.mozilla.firefox/.mozilla/firefox/"
                         "f.default|default",
                     }));
}

TEST_F(FindProfilesTest, FollowsXdgConfigHomeAndListsAFolderReachedTwiceOnce) {
  const std::string& home = home_.home();
  const std::string config = sandbox_.Sub("elsewhere", true);
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  MakeFirefoxHome(config + "/mozilla/firefox", "[Profile0]\nName=x\nPath=x\n", {"x"});
  // The older home is a link to the newer one, as some systems make it.
  ASSERT_TRUE(CreateDirectories(home + "/.mozilla").ok());
  ASSERT_EQ(::symlink((config + "/mozilla/firefox").c_str(), (home + "/.mozilla/firefox").c_str()),
            0);
  const std::vector<BrowserProfile> found = FindBrowserProfiles();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].folder, config + "/mozilla/firefox/x");
}

TEST_F(FindProfilesTest, FindsChromiumBasedBrowsersAndTheirProfiles) {
  const std::string& home = home_.home();
  const std::string chromium = home + "/.config/chromium";
  ASSERT_TRUE(CreateDirectories(chromium + "/Default").ok());
  ASSERT_TRUE(CreateDirectories(chromium + "/Profile 3").ok());
  test::WriteFileBytes(chromium + "/Local State",
                       R"({"profile": {"last_used": "Profile 3", "info_cache": {
                           "Default": {"name": "Home"}, "Profile 3": {"name": "Work"},
                           "Profile 9": {"name": "Deleted since"}}}})");
  // No Local State: the profile folders the browser makes are found by their names.
  const std::string brave = home + "/.config/BraveSoftware/Brave-Browser";
  ASSERT_TRUE(CreateDirectories(brave + "/Default").ok());
  ASSERT_TRUE(CreateDirectories(brave + "/Profile 1").ok());
  ASSERT_TRUE(CreateDirectories(brave + "/Crash Reports").ok());
  const std::string chrome = home + "/.var/app/com.google.Chrome/config/google-chrome";
  ASSERT_TRUE(CreateDirectories(chrome + "/Default").ok());
  test::WriteFileBytes(chrome + "/Local State", "{ damaged");

  EXPECT_EQ(Found(), (std::vector<std::string>{
                         "Chromium|Work|~/.config/chromium/Profile 3|default",
                         "Chromium|Home|~/.config/chromium/Default",
                         "Google Chrome|Default|~/.var/app/com.google.Chrome/config/google-chrome/"
                         "Default|default",
                         "Brave|Default|~/.config/BraveSoftware/Brave-Browser/Default|default",
                         "Brave|Profile 1|~/.config/BraveSoftware/Brave-Browser/Profile 1",
                     }));
  const std::vector<BrowserProfile> found = FindBrowserProfiles();
  EXPECT_EQ(found[0].family, BrowserFamily::kChromium);
  EXPECT_EQ(found[0].secret_application, "chromium");
  EXPECT_EQ(found[2].secret_application, "chrome");
  EXPECT_EQ(found[3].secret_application, "brave");
}

}  // namespace
}  // namespace tw
