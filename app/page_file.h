#pragma once
// Safe writing of page files: each page goes to a fresh temporary file in the target folder,
// created exclusively (a name planted there, a link included, is never opened), and is then
// renamed over the page's name. Temporary files left by an interrupted run are removed.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/output/byte_sink.h"

namespace plover {

// Writes `bytes` to folder/name through a temporary "name.XXXXXX.part" in folder. Throws
// std::runtime_error naming the reason ("No space left on device") when it cannot; no
// temporary file is left behind then.
void WritePageFile(const std::string& folder, const std::string& name, std::string_view bytes);

// Writes all of `bytes` to `fd`; returns 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes);

// Names a temporary file to remove should a signal end the process before the guard ends;
// WritePageFile holds one while it writes.
class TPartFileGuard {
 public:
  explicit TPartFileGuard(const char* path);
  ~TPartFileGuard();
  TPartFileGuard(const TPartFileGuard&) = delete;
  TPartFileGuard& operator=(const TPartFileGuard&) = delete;

 private:
  void* slot_ = nullptr;
};

// A page file written as it is made, for encoders that write a large file part by part. The
// first write runs `prepare` (which makes the folder, or says why it cannot: "cannot create the
// folder ...") and then makes the temporary file as WritePageFile does; Commit() renames it over
// the page's name. A sink that is not committed removes its temporary file.
class TPageFileSink final : public kestrel::TByteSink {
 public:
  TPageFileSink(std::string folder, const std::string& name, std::function<std::string()> prepare = nullptr);
  ~TPageFileSink() override;
  TPageFileSink(const TPageFileSink&) = delete;
  TPageFileSink& operator=(const TPageFileSink&) = delete;

  bool Write(kestrel::TByteView bytes) override;
  bool Seek(std::uint64_t position) override;
  std::uint64_t Position() const override { return position_; }
  std::uint64_t Size() const override { return size_; }
  void Discard() override;

  // Why a write failed ("cannot write F: No space left on device"); empty while none did.
  const std::string& Error() const { return error_; }
  // Makes the file the page's (an empty one when nothing was written); throws
  // std::runtime_error naming the reason when it cannot.
  void Commit();

 private:
  bool Open();
  bool Fail(int error);

  std::string target_;
  std::function<std::string()> prepare_;
  std::string temp_;
  int fd_ = -1;
  std::optional<TPartFileGuard> guard_;
  std::uint64_t position_ = 0;
  std::uint64_t size_ = 0;
  std::string error_;
};

// Removes the temporary page files still being written when SIGINT, SIGTERM or SIGHUP ends the
// process (the signal's default action then proceeds). Call once at program start.
void RemovePartFilesOnSignals();

// A text the handler above writes to standard error before the process ends ("interrupted"),
// or nullptr for none. The text must stay alive.
void SetSignalNote(const char* text);

}  // namespace plover
