#include "engine/syntax/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace kestrel {

namespace {

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
    bytes.reset(new (std::nothrow) TFileBytes(nullptr, 0));
  } else {
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.fd, 0);
    if (data == MAP_FAILED) {
      const int error = errno;
      return Fail(failure, reason, error == ENOMEM ? TFailure::OutOfMemory : TFailure::Unreadable, error);
    }
    bytes.reset(new (std::nothrow) TFileBytes(data, size));
    if (!bytes) ::munmap(data, size);
  }
  if (!bytes) return Fail(failure, reason, TFailure::OutOfMemory, ENOMEM);
  return bytes;
}

TFileBytes::~TFileBytes() {
  if (data_) ::munmap(const_cast<void*>(data_), size_);
}

}  // namespace kestrel
