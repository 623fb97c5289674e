#include "engine/syntax/file_bytes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>

namespace kestrel {

// One registered mapping. Slots are never freed, only reused, so that the signal handler can
// walk the list at any moment without a lock.
struct TFileBytes::TSlot {
  // Odd while begin and size are being set: the handler then skips the slot, and it reads the
  // pair again when the version moved under it.
  std::atomic<unsigned> version{0};
  std::atomic<std::uintptr_t> begin{0};  // 0: no mapping
  std::atomic<std::size_t> size{0};
  std::atomic<bool> changed{false};
  std::atomic<bool> used{false};
  TSlot* next = nullptr;

  void Set(std::uintptr_t newBegin, std::size_t newSize) {
    version.fetch_add(1, std::memory_order_acq_rel);
    begin.store(newBegin, std::memory_order_release);
    size.store(newSize, std::memory_order_release);
    version.fetch_add(1, std::memory_order_acq_rel);
  }

  // True when the address lies in the mapping the slot holds.
  bool Holds(std::uintptr_t address) const {
    for (;;) {
      const unsigned before = version.load(std::memory_order_acquire);
      if (before & 1) return false;  // being set: not the mapping a reader is using
      const std::uintptr_t first = begin.load(std::memory_order_acquire);
      const std::size_t length = size.load(std::memory_order_acquire);
      if (version.load(std::memory_order_acquire) != before) continue;
      return first != 0 && address - first < length;
    }
  }
};

namespace {

std::atomic<TFileBytes::TSlot*> slots{nullptr};
struct sigaction previousAction;
std::uintptr_t pageSize = 4096;

// The bus error's previous handling: its handler, or the default action (end the process).
void PassOn(int signal, siginfo_t* info, void* context) {
  if (previousAction.sa_flags & SA_SIGINFO) {
    if (previousAction.sa_sigaction) {
      previousAction.sa_sigaction(signal, info, context);
      return;
    }
  } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
    return;
  }
  // Ends the process as if no handler had been installed, once this handler returns.
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  ::sigemptyset(&standard.sa_mask);
  ::sigaction(SIGBUS, &standard, nullptr);
  ::raise(SIGBUS);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  // BUS_ADRERR: a read past the end of a mapped file; a bus error sent by kill() is not one.
  const bool pastTheEnd = info->si_code == BUS_ADRERR;
  for (TFileBytes::TSlot* slot = pastTheEnd ? slots.load(std::memory_order_acquire) : nullptr; slot;
       slot = slot->next) {
    if (!slot->Holds(address)) continue;
    void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
    if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      slot->changed.store(true, std::memory_order_release);
      errno = savedErrno;
      return;
    }
    break;
  }
  errno = savedErrno;
  PassOn(signal, info, context);
}

void InstallHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (const long size = ::sysconf(_SC_PAGESIZE); size > 0) pageSize = static_cast<std::uintptr_t>(size);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
  });
}

// A free slot for a new mapping, or a new one at the head of the list.
TFileBytes::TSlot* TakeSlot(std::uintptr_t begin, std::size_t size) {
  TFileBytes::TSlot* slot = slots.load(std::memory_order_acquire);
  for (; slot; slot = slot->next) {
    bool expected = false;
    if (slot->used.compare_exchange_strong(expected, true)) break;
  }
  if (!slot) {
    slot = new (std::nothrow) TFileBytes::TSlot;
    if (!slot) return nullptr;
    slot->used = true;
    slot->next = slots.load(std::memory_order_relaxed);
    while (!slots.compare_exchange_weak(slot->next, slot, std::memory_order_release)) {
    }
  }
  slot->changed.store(false);
  slot->Set(begin, size);
  return slot;
}

// Closes the descriptor however Map returns: the mapping outlives it.
struct TDescriptor {
  int fd;
  ~TDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

std::shared_ptr<const TFileBytes> Fail(TFileBytes::TFailure& failure, std::string& reason, TFileBytes::TFailure why,
                                       int error) {
  using F = TFileBytes::TFailure;
  failure = why;
  switch (why) {
    case F::NotFound: reason = "no such file"; break;
    case F::Folder: reason = "a folder"; break;
    case F::NotRegular: reason = "not a regular file (a device, pipe or socket)"; break;
    case F::OutOfMemory: reason = "out of memory"; break;
    default: reason = std::strerror(error); break;
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<const TFileBytes> TFileBytes::Map(const std::string& path, TFailure& failure, std::string& reason) {
  failure = TFailure::None;
  reason.clear();
  // O_NONBLOCK: opening a FIFO with no writer must not wait; it is refused below anyway.
  TDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (file.fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return Fail(failure, reason, TFailure::NotFound, error);
    if (error == ENOMEM) return Fail(failure, reason, TFailure::OutOfMemory, error);
    return Fail(failure, reason, TFailure::Unreadable, error);
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return Fail(failure, reason, TFailure::Unreadable, errno);
  if (S_ISDIR(st.st_mode)) return Fail(failure, reason, TFailure::Folder, EISDIR);
  if (!S_ISREG(st.st_mode)) return Fail(failure, reason, TFailure::NotRegular, 0);
  if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > std::numeric_limits<std::size_t>::max() / 2)
    return Fail(failure, reason, TFailure::OutOfMemory, ENOMEM);
  const auto size = static_cast<std::size_t>(st.st_size);
  std::shared_ptr<const TFileBytes> bytes;
  if (size == 0) {
    bytes.reset(new (std::nothrow) TFileBytes(nullptr, 0, nullptr));
  } else {
    InstallHandler();
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.fd, 0);
    if (data == MAP_FAILED) {
      const int error = errno;
      return Fail(failure, reason, error == ENOMEM ? TFailure::OutOfMemory : TFailure::Unreadable, error);
    }
    TSlot* slot = TakeSlot(reinterpret_cast<std::uintptr_t>(data), size);
    if (slot) bytes.reset(new (std::nothrow) TFileBytes(data, size, slot));
    if (!bytes) {
      if (slot) slot->Set(0, 0), slot->used = false;
      ::munmap(data, size);
    }
  }
  if (!bytes) return Fail(failure, reason, TFailure::OutOfMemory, ENOMEM);
  return bytes;
}

bool TFileBytes::Changed() const { return slot_ && slot_->changed.load(std::memory_order_acquire); }

TFileBytes::~TFileBytes() {
  if (!data_) return;
  // Unregistered before the range is unmapped: the handler must not claim a fault at an
  // address that is no longer ours.
  slot_->Set(0, 0);
  ::munmap(const_cast<void*>(data_), size_);
  slot_->used.store(false, std::memory_order_release);
}

}  // namespace kestrel
