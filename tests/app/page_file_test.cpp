#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "app/page_file.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using plover::WritePageFile;

namespace {

bool HasPartFile(const std::string& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".part") return true;
  return false;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(PageFile, PlantedLinkIsReplacedNotFollowed) {
  testsupport::TempDir dir;
  const std::string outside = dir.Write("outside.txt", "keep");
  fs::create_directory(dir.Path() + "/out");
  fs::create_symlink(outside, dir.Path() + "/out/1.PNG");
  WritePageFile(dir.Path() + "/out", "1.PNG", "image");
  EXPECT_EQ(Slurp(outside), "keep");
  EXPECT_FALSE(fs::is_symlink(dir.Path() + "/out/1.PNG"));
  EXPECT_EQ(Slurp(dir.Path() + "/out/1.PNG"), "image");
  EXPECT_FALSE(HasPartFile(dir.Path() + "/out"));
}

TEST(PageFile, FailedRenameLeavesNoPartFile) {
  testsupport::TempDir dir;
  fs::create_directories(dir.Path() + "/out/2.PNG/inside");
  EXPECT_THROW(WritePageFile(dir.Path() + "/out", "2.PNG", "image"), std::runtime_error);
  EXPECT_FALSE(HasPartFile(dir.Path() + "/out"));
}

TEST(PageFile, FullDiskNamesTheReason) {
  const int fd = ::open("/dev/full", O_WRONLY);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(plover::WriteAll(fd, "bytes"), ENOSPC);
  ::close(fd);
}

TEST(PageFile, SignalRemovesThePartFileBeingWritten) {
  testsupport::TempDir dir;
  for (int signal : {SIGINT, SIGTERM}) {
    const std::string part = dir.Write("3.PNG.abcdef.part", "half");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      plover::RemovePartFilesOnSignals();
      plover::TPartFileGuard guard(part.c_str());
      std::raise(signal);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    EXPECT_FALSE(fs::exists(part)) << signal;
  }
}

TEST(PageFile, SinkWritesTheFileMemoryWouldHold) {
  testsupport::TempDir dir;
  // Writes, a seek back over what was written (as TIFF patches its header), a seek past the end
  // and a write after the gap: the page file holds what the string does.
  std::string memory;
  kestrel::TBytesSink inMemory(memory);
  plover::TPageFileSink file(dir.Path(), "4.TIFF");
  for (kestrel::TByteSink* sink : {static_cast<kestrel::TByteSink*>(&inMemory), static_cast<kestrel::TByteSink*>(&file)}) {
    EXPECT_TRUE(sink->Write("header--"));
    EXPECT_TRUE(sink->Write("strip"));
    EXPECT_TRUE(sink->Seek(6) && sink->Write("42"));
    EXPECT_TRUE(sink->Seek(16) && sink->Write("end"));
    EXPECT_EQ(sink->Size(), 19u);
  }
  file.Commit();
  EXPECT_EQ(Slurp(dir.Path() + "/4.TIFF"), memory);
  EXPECT_EQ(memory, std::string("header42strip\0\0\0end", 19));

  // A sink given up leaves no file; one whose folder cannot be made says why and makes none.
  { plover::TPageFileSink dropped(dir.Path(), "5.BMP"); EXPECT_TRUE(dropped.Write("half")); }
  plover::TPageFileSink refused(dir.Path() + "/none", "6.BMP", [] { return std::string("cannot create the folder"); });
  EXPECT_FALSE(refused.Write("bytes"));
  EXPECT_EQ(refused.Error(), "cannot create the folder");
  EXPECT_THROW(refused.Commit(), std::runtime_error);
  EXPECT_FALSE(HasPartFile(dir.Path()));
  EXPECT_FALSE(fs::exists(dir.Path() + "/5.BMP"));
}
