#include <gtest/gtest.h>

#include <filesystem>

#include "platform/user_dirs.h"
#include "support/sandbox.h"

namespace tw {
namespace {

TEST(UserDirsTest, DerivesEverythingFromHomeAndXdg) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  EXPECT_EQ(*HomeDir(), home.home());
  EXPECT_EQ(*ConfigHome(), home.home() + "/.config");
  EXPECT_EQ(*DataHome(), home.home() + "/.local/share");
  EXPECT_EQ(*DocumentsDir(), home.home() + "/Documents");

  ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
  EXPECT_EQ(*ConfigHome(), home.home() + "/.config");
}

TEST(UserDirsTest, DocumentsComeFromUserDirsWithHomeExpanded) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  std::filesystem::create_directories(home.home() + "/.config");
  test::WriteFileBytes(home.home() + "/.config/user-dirs.dirs",
                       "# written by xdg-user-dirs-update\n"
                       "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                       "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  EXPECT_EQ(*DocumentsDir(), home.home() + "/Dokumente");

  // A documents folder set to the home folder itself means none.
  test::WriteFileBytes(home.home() + "/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
  EXPECT_EQ(*DocumentsDir(), home.home() + "/Documents");
}

}  // namespace
}  // namespace tw
