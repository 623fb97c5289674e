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
