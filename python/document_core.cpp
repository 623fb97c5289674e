#include "python/document_core.h"

#include <thread>

namespace plover::python {

TDocumentCore::TDocumentCore(std::string bytes, std::string password)
    : bytes_(std::move(bytes)), password_(std::move(password)) {}

std::shared_ptr<TDocumentCore> TDocumentCore::Open(std::string bytes, std::string password) {
  auto core = std::make_shared<TDocumentCore>(std::move(bytes), std::move(password));
  std::unique_ptr<TSlot> first = core->OpenSlot();
  if (!first->Link) {
    TJobReport report;
    DescribeOpenFailure(core->bytes_, first->Engine.LastErrorCode, first->Engine.LastErrorText, report);
    throw TOpenFailed(report.Problem, report.Reason);
  }
  core->pageCount_ = std::max(first->Engine.GetPageCount(first->Link), 0);
  core->idle_.push_back(std::move(first));
  return core;
}

std::unique_ptr<TDocumentCore::TSlot> TDocumentCore::OpenSlot() const {
  auto slot = std::make_unique<TSlot>();
  slot->Link = slot->Engine.OpenDocument(bytes_, password_);
  return slot;
}

TDocumentCore::TLease::TLease(std::shared_ptr<TDocumentCore> core) : core_(std::move(core)) {
  {
    std::lock_guard<std::mutex> guard(core_->lock_);
    if (!core_->idle_.empty()) {
      slot_ = std::move(core_->idle_.back());
      core_->idle_.pop_back();
    }
  }
  // Opened outside the lock: the bytes opened once already, so this one opens too.
  if (!slot_) slot_ = core_->OpenSlot();
  if (!slot_->Link) throw std::runtime_error("the document could not be opened again");
}

TDocumentCore::TLease::~TLease() {
  // Keep about one idle link per core: more threads than that gain nothing but memory.
  static const std::size_t kMaxIdle = std::max(1u, std::thread::hardware_concurrency());
  std::lock_guard<std::mutex> guard(core_->lock_);
  if (core_->idle_.size() < kMaxIdle) core_->idle_.push_back(std::move(slot_));
}

}  // namespace plover::python
