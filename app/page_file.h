#pragma once
// Safe writing of page files: each page goes to a fresh temporary file in the target folder,
// created exclusively (a name planted there, a link included, is never opened), and is then
// renamed over the page's name. Temporary files left by an interrupted run are removed.
#include <string>
#include <string_view>

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

// Removes the temporary page files still being written when SIGINT, SIGTERM or SIGHUP ends the
// process (the signal's default action then proceeds). Call once at program start.
void RemovePartFilesOnSignals();

// A text the handler above writes to standard error before the process ends ("interrupted"),
// or nullptr for none. The text must stay alive.
void SetSignalNote(const char* text);

}  // namespace plover
