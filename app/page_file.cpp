#include "app/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace plover {

namespace {

// Paths of the temporary files being written, readable from a signal handler: fixed slots
// that a writer claims, fills and releases; the handler unlinks every published path.
// One per worker (kMaxJobs): every page file being written has one.
constexpr std::size_t kSlots = 256;
constexpr std::size_t kPathMax = 4096;
struct TPartSlot {
  std::atomic<bool> Busy{false};
  std::atomic<bool> Published{false};
  char Path[kPathMax];
};
std::array<TPartSlot, kSlots> gParts;
std::atomic<const char*> gSignalNote{nullptr};

extern "C" void RemovePartsAndDie(int signal) {
  for (TPartSlot& slot : gParts)
    if (slot.Published.load()) ::unlink(slot.Path);
  if (const char* note = gSignalNote.load()) {
    [[maybe_unused]] const ssize_t written = ::write(2, note, std::strlen(note));
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Page files get the permissions an ordinary new file would get (mkstemp makes them private).
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

std::string Describe(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

}  // namespace

TPartFileGuard::TPartFileGuard(const char* path) {
  if (std::strlen(path) >= kPathMax) return;
  for (TPartSlot& slot : gParts) {
    bool expected = false;
    if (!slot.Busy.compare_exchange_strong(expected, true)) continue;
    std::strcpy(slot.Path, path);
    slot.Published.store(true);
    slot_ = &slot;
    return;
  }
}

TPartFileGuard::~TPartFileGuard() {
  if (!slot_) return;
  auto* slot = static_cast<TPartSlot*>(slot_);
  slot->Published.store(false);
  slot->Busy.store(false);
}

int WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

void WritePageFile(const std::string& folder, const std::string& name, std::string_view bytes) {
  std::string base = folder;
  if (base.empty() || base.back() != '/') base.push_back('/');
  const std::string target = base + name;
  static constexpr char kSuffix[] = ".part";
  std::string pattern = target + ".XXXXXX" + kSuffix;
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  // mkstemps opens with O_CREAT | O_EXCL: an existing name, a link too, is never opened.
  const int fd = ::mkstemps(temp.data(), static_cast<int>(sizeof kSuffix - 1));
  if (fd < 0) throw std::runtime_error(Describe("cannot write", target, errno));
  TPartFileGuard guard(temp.data());
  int error = WriteAll(fd, bytes);
  if (error == 0 && ::fchmod(fd, NewFileMode()) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.data(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.data());
    throw std::runtime_error(Describe("cannot write", target, error));
  }
}

void SetSignalNote(const char* text) { gSignalNote.store(text); }

void RemovePartFilesOnSignals() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = RemovePartsAndDie;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace plover
