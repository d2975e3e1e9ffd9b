#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

const OpenOptions kExclusiveRw{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways};
const OpenOptions kSharedRead{Access::kRead, Share::kRead, Disposition::kOpenExisting};

class FileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return sandbox_.Sub(name); }
  test::Sandbox sandbox_;
};

TEST_F(FileTest, ExclusiveAndSharedOpensExcludeEachOtherWithinOneProcess) {
  const std::string path = Path("page.twp");
  test::WriteFileBytes(path, "abc");
  Result<File> reader1 = File::Open(path, kSharedRead);
  Result<File> reader2 = File::Open(path, kSharedRead);
  ASSERT_TRUE(reader1.ok());
  ASSERT_TRUE(reader2.ok());
  Result<File> writer = File::Open(path, kExclusiveRw);
  EXPECT_EQ(writer.error().code(), err::kSharingViolation);
  reader1->Close().ok();
  reader2 = Error();  // closes the second reader
  writer = File::Open(path, kExclusiveRw);
  ASSERT_TRUE(writer.ok());
  EXPECT_EQ(File::Open(path, kSharedRead).error().code(), err::kSharingViolation);
  // An exclusive reader that shares nothing is excluded as well.
  EXPECT_EQ(File::Open(path, OpenOptions{Access::kRead, Share::kNone}).error().code(),
            err::kSharingViolation);
}

TEST_F(FileTest, CreateAlwaysDoesNotTruncateAFileItCannotLock) {
  const std::string path = Path("held");
  test::WriteFileBytes(path, "precious");
  Result<File> reader = File::Open(path, kSharedRead);
  ASSERT_TRUE(reader.ok());
  Result<File> writer =
      File::Open(path, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kCreateAlways});
  EXPECT_EQ(writer.error().code(), err::kSharingViolation);
  EXPECT_EQ(test::ReadFileBytes(path), "precious");
}

TEST_F(FileTest, DispositionsBehaveAsNamed) {
  const std::string path = Path("f");
  EXPECT_EQ(File::Open(path, kSharedRead).error().code(), err::kFileNotFound);
  EXPECT_EQ(File::Open(Path("missing/f"), kExclusiveRw).error().code(), err::kPathNotFound);
  {
    Result<File> f =
        File::Open(path, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kCreateNew});
    ASSERT_TRUE(f.ok());
    ASSERT_TRUE(f->WriteAll("hello").ok());
  }
  EXPECT_EQ(File::Open(path, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kCreateNew})
                .error()
                .code(),
            err::kFileExists);
  {
    Result<File> f = File::Open(path, kExclusiveRw);  // open always keeps the contents
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(*f->Size(), 5u);
  }
  {
    Result<File> f =
        File::Open(path, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kCreateAlways});
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(*f->Size(), 0u);
  }
}

TEST_F(FileTest, ReadExactReportsAShortFile) {
  const std::string path = Path("short");
  test::WriteFileBytes(path, "12345");
  Result<File> f = File::Open(path, kSharedRead);
  ASSERT_TRUE(f.ok());
  char buffer[8];
  EXPECT_EQ(f->ReadExact(buffer, 8).code(), err::kHandleEof);
}

TEST_F(FileTest, DeleteOnCloseRemovesTheFile) {
  const std::string path = Path("crs");
  {
    Result<File> f = File::Open(
        path, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways, true});
    ASSERT_TRUE(f.ok());
    EXPECT_TRUE(PathExists(path));
  }
  EXPECT_FALSE(PathExists(path));
}

TEST_F(FileTest, AFileInUseCannotBeDeletedOrMoved) {
  const std::string path = Path("in-use");
  test::WriteFileBytes(path, "x");
  {
    Result<File> reader = File::Open(path, kSharedRead);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(DeleteFile(path).code(), err::kSharingViolation);
    EXPECT_EQ(MoveFileNoReplace(path, Path("elsewhere")).code(), err::kSharingViolation);
  }
  test::WriteFileBytes(Path("taken"), "y");
  EXPECT_EQ(MoveFileNoReplace(path, Path("taken")).code(), err::kFileExists);
  EXPECT_EQ(test::ReadFileBytes(Path("taken")), "y");
  EXPECT_TRUE(MoveFileNoReplace(path, Path("moved")).ok());
  EXPECT_TRUE(DeleteFile(Path("moved")).ok());
  EXPECT_EQ(DeleteFile(Path("moved")).code(), err::kFileNotFound);
}

TEST_F(FileTest, LocksHoldBetweenProcesses) {
  const std::string path = Path("shared-folder-file");
  test::WriteFileBytes(path, "data");
  {
    test::ChildProcess holder = test::ChildProcess::SpawnHelper({"hold-file", path, "exclusive"});
    ASSERT_EQ(holder.ReadLine(), "ready");
    EXPECT_EQ(File::Open(path, kSharedRead).error().code(), err::kSharingViolation);
  }
  {
    test::ChildProcess holder = test::ChildProcess::SpawnHelper({"hold-file", path, "shared"});
    ASSERT_EQ(holder.ReadLine(), "ready");
    EXPECT_TRUE(File::Open(path, kSharedRead).ok());
    EXPECT_EQ(File::Open(path, kExclusiveRw).error().code(), err::kSharingViolation);
  }
  // A killed holder leaves no lock behind.
  EXPECT_TRUE(File::Open(path, kExclusiveRw).ok());
}

TEST_F(FileTest, FindFilesMatchesTheSuffixExactly) {
  for (const char* name : {"a.twp", "b.TWP", "c.twp.tmp", ".tidewell-1.tmp", "d.twpx", "e.twp"}) {
    test::WriteFileBytes(Path(name), "");
  }
  sandbox_.Sub("dir.twp", true);
  Result<std::vector<FoundFile>> found = FindFiles(sandbox_.path(), ".twp");
  ASSERT_TRUE(found.ok());
  std::vector<std::string> names;
  for (const FoundFile& f : *found) names.push_back(f.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.twp", "e.twp"}));
  EXPECT_EQ(FindFiles(Path("missing"), ".twp").error().code(), err::kPathNotFound);
}

TEST_F(FileTest, AtomicWriterPublishesWholeOrNothing) {
  const std::string target = Path("target");
  test::WriteFileBytes(target, "old");
  {
    Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(target);
    ASSERT_TRUE(writer.ok());
    ASSERT_TRUE(writer->file().WriteAll("half").ok());
    // Dropped without commit: the target keeps its old bytes and no temporary file remains.
  }
  EXPECT_EQ(test::ReadFileBytes(target), "old");
  EXPECT_TRUE(FindFiles(sandbox_.path(), ".tmp")->empty());

  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(target);
  ASSERT_TRUE(writer.ok());
  ASSERT_TRUE(writer->file().WriteAll("new").ok());
  ASSERT_TRUE(writer->Commit(AtomicFileWriter::Publish::kReplace).ok());
  EXPECT_EQ(test::ReadFileBytes(target), "new");

  Result<AtomicFileWriter> second = AtomicFileWriter::Begin(target);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second->Commit(AtomicFileWriter::Publish::kCreateNew).code(), err::kFileExists);
  EXPECT_EQ(test::ReadFileBytes(target), "new");
  EXPECT_TRUE(FindFiles(sandbox_.path(), ".tmp")->empty());
}

// A writer holds the name with an empty placeholder while it writes the file it then renames over
// it. A reader whose open waited for the placeholder's lock must end up with the published file,
// never the placeholder that no name leads to any more.
TEST_F(FileTest, AnOpenNeverHoldsAFileReplacedWhileItWaited) {
  const std::string target = Path("page");
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    while (!stop) {
      OpenOptions hold_name{Access::kReadWrite, Share::kNone, Disposition::kCreateNew};
      hold_name.lock_before_naming = true;
      Result<File> placeholder = File::Open(target, hold_name);
      if (!placeholder.ok()) continue;
      Result<AtomicFileWriter> published = AtomicFileWriter::Begin(target);
      if (published.ok() && published->file().WriteAll("whole").ok()) {
        (void)published->Commit(AtomicFileWriter::Publish::kReplace);
      }
      (void)placeholder->Close();
      Result<File> doomed = File::Open(target, kExclusiveRw);
      if (doomed.ok()) (void)doomed->Unlink();
    }
  });
  int reads = 0;
  for (int attempt = 0; attempt < 200000 && reads < 3000; ++attempt) {
    Result<File> file = File::Open(target, kSharedRead);
    if (!file.ok()) continue;
    ++reads;
    char bytes[16] = {};
    Result<size_t> n = file->Read(bytes, sizeof bytes);
    ASSERT_TRUE(n.ok());
    if (std::string(bytes, *n) != "whole") {
      ADD_FAILURE() << "read '" << std::string(bytes, *n) << "' after " << reads << " reads";
      break;
    }
  }
  stop = true;
  writer.join();
  EXPECT_GT(reads, 0);
}

TEST_F(FileTest, CopyFileRefusesAnExistingTarget) {
  test::WriteFileBytes(Path("src"), std::string(200000, 'z'));
  test::WriteFileBytes(Path("dst"), "keep");
  EXPECT_EQ(CopyFile(Path("src"), Path("dst"), IfTargetExists::kFail).code(), err::kFileExists);
  EXPECT_EQ(test::ReadFileBytes(Path("dst")), "keep");
  ASSERT_TRUE(CopyFile(Path("src"), Path("dst2"), IfTargetExists::kFail).ok());
  EXPECT_EQ(test::ReadFileBytes(Path("dst2")), std::string(200000, 'z'));
}

TEST_F(FileTest, StaleTemporaryFilesAreRemovedButHeldOnesStay) {
  const std::string stale = Path(".tidewell-0000000000000001.tmp");
  const std::string held = Path(".tidewell-0000000000000002.tmp");
  test::WriteFileBytes(stale, "left by a killed writer");
  test::WriteFileBytes(held, "being written");
  // Age both past the stale limit.
  const timespec old_times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, stale.c_str(), old_times, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, held.c_str(), old_times, 0), 0);
  Result<File> writer = File::Open(held, kExclusiveRw);
  ASSERT_TRUE(writer.ok());
  RemoveStaleTempFiles(sandbox_.path());
  EXPECT_FALSE(PathExists(stale));
  EXPECT_TRUE(PathExists(held));
}

TEST_F(FileTest, CreateDirectoriesMakesParentsAndPathHelpersSplit) {
  const std::string deep = Path("a/b/c");
  ASSERT_TRUE(CreateDirectories(deep).ok());
  EXPECT_TRUE(GetFileInfo(deep)->is_directory);
  EXPECT_TRUE(CreateDirectories(deep).ok());
  EXPECT_EQ(FolderOf("/x/y/z.twp"), "/x/y");
  EXPECT_EQ(FolderOf("z.twp"), ".");
  EXPECT_EQ(FileNameOf("/x/y/z.twp"), "z.twp");
  EXPECT_EQ(JoinPath("/x/", "y"), "/x/y");
}

}  // namespace
}  // namespace tw
