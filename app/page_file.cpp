#include "app/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
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

TPageFileSink::TPageFileSink(std::string folder, const std::string& name, std::function<std::string()> prepare)
    : target_(std::move(folder)), prepare_(std::move(prepare)) {
  if (target_.empty() || target_.back() != '/') target_.push_back('/');
  target_ += name;
}

TPageFileSink::~TPageFileSink() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temp_.c_str());
}

bool TPageFileSink::Fail(int error) {
  if (error_.empty()) error_ = Describe("cannot write", target_, error);
  return false;
}

bool TPageFileSink::Open() {
  if (fd_ >= 0) return true;
  if (!error_.empty()) return false;
  if (prepare_) {
    error_ = prepare_();
    if (!error_.empty()) return false;
  }
  static constexpr char kSuffix[] = ".part";
  std::string pattern = target_ + ".XXXXXX" + kSuffix;
  // mkstemps opens with O_CREAT | O_EXCL: an existing name, a link too, is never opened.
  const int fd = ::mkstemps(pattern.data(), static_cast<int>(sizeof kSuffix - 1));
  if (fd < 0) return Fail(errno);
  fd_ = fd;
  temp_ = std::move(pattern);
  guard_.emplace(temp_.c_str());
  return true;
}

bool TPageFileSink::Write(kestrel::TByteView bytes) {
  if (!Open()) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(position_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(errno);
    if (n == 0) return Fail(EIO);
    done += static_cast<std::size_t>(n);
  }
  position_ += done;
  size_ = std::max(size_, position_);
  return true;
}

bool TPageFileSink::Seek(std::uint64_t position) {
  if (position > std::uint64_t{std::numeric_limits<off_t>::max()}) return Fail(EFBIG);
  position_ = position;
  return true;
}

void TPageFileSink::Discard() {
  if (fd_ >= 0 && ::ftruncate(fd_, 0) != 0) Fail(errno);
  position_ = size_ = 0;
}

void TPageFileSink::Commit() {
  if (!Open()) throw std::runtime_error(error_);
  int error = ::fchmod(fd_, NewFileMode()) != 0 ? errno : 0;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
  guard_.reset();
  if (error != 0) {
    ::unlink(temp_.c_str());
    Fail(error);
    throw std::runtime_error(error_);
  }
}

void WritePageFile(const std::string& folder, const std::string& name, std::string_view bytes) {
  TPageFileSink file(folder, name);
  if (!file.Write(bytes)) throw std::runtime_error(file.Error());
  file.Commit();
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
