#pragma once
// One open PDF as the Python module holds it: the file's bytes and a pool of engine links
// opened on them. A link's object and font caches serve one thread at a time, so every call
// borrows a link of its own (opening another when all are busy): pages of one document render
// in parallel on as many threads as ask. Calls hold the core by shared_ptr, so closing or
// freeing the Python document while pages are in flight leaves them working on a core that
// lives until the last of them returns.
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/conversion_job.h"
#include "engine/kestrel.h"

namespace plover::python {

// A file the engine would not open, with the reason in the command line's words.
class TOpenFailed : public std::runtime_error {
 public:
  TOpenFailed(TJobProblem problem, const std::string& reason) : std::runtime_error(reason), Problem(problem) {}
  TJobProblem Problem;
};

class TDocumentCore : public std::enable_shared_from_this<TDocumentCore> {
  struct TSlot {
    kestrel::TKestrel0725 Engine;
    kestrel::TSmartPDFLink* Link = nullptr;
  };

 public:
  // Opens a PDF held in `bytes`; throws TOpenFailed when the engine refuses it.
  static std::shared_ptr<TDocumentCore> Open(std::string bytes, std::string password);

  // A link borrowed for one call; it goes back to the pool when the lease ends.
  class TLease {
   public:
    explicit TLease(std::shared_ptr<TDocumentCore> core);
    ~TLease();
    TLease(const TLease&) = delete;
    TLease& operator=(const TLease&) = delete;
    kestrel::TKestrel& Engine() { return slot_->Engine; }
    kestrel::TSmartPDFLink* Link() { return slot_->Link; }

   private:
    std::shared_ptr<TDocumentCore> core_;
    std::unique_ptr<TSlot> slot_;
  };
  TLease Borrow() { return TLease(shared_from_this()); }

  int PageCount() const { return pageCount_; }

  // Use Open.
  TDocumentCore(std::string bytes, std::string password);

 private:
  std::unique_ptr<TSlot> OpenSlot() const;

  const std::string bytes_;
  const std::string password_;
  int pageCount_ = 0;
  std::mutex lock_;
  std::vector<std::unique_ptr<TSlot>> idle_;
};

}  // namespace plover::python
