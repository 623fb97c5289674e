#pragma once
// TDocumentBudget: what all the pages of one document may spend together, on top of each
// page's own limits. Without it a document multiplies the page limits: twenty pages that share
// one stream decoding to gigabytes, or ten pages that each draw a million forms, cost minutes
// for a file of a few kilobytes. The allowances grow with the file's size, since a large file
// may need that much work legitimately. Pages of one document rendered at once on several
// threads share it safely; each open document (handle) has its own.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>

namespace kestrel {

class TDocumentBudget {
 public:
  // The amounts a page may spend, or has spent.
  struct TAmounts {
    std::size_t DecodedBytes = 0;
    std::size_t Tokens = 0;
    std::size_t FormInvocations = 0;
  };

  explicit TDocumentBudget(const TAmounts& total);
  // The allowances of a file of `fileSize` bytes (limits.h).
  static TAmounts ForFileSize(std::size_t fileSize);
  TDocumentBudget(const TDocumentBudget&) = delete;
  TDocumentBudget& operator=(const TDocumentBudget&) = delete;

  // What a page may spend: each of `pageLimits`, or what the document has left if less.
  TAmounts Allowance(const TAmounts& pageLimits) const;
  // Charges what a page spent (amounts past what is left use it up).
  void Spend(const TAmounts& spent);

  // Streams (by object number) whose decoding a limit cut short: decoding them again on every
  // page would only repeat the cost, so they are left out after the first time.
  bool WasCut(std::int32_t objNum) const;
  void MarkCut(std::int32_t objNum);

 private:
  static void Take(std::atomic<std::size_t>& left, std::size_t amount);

  std::atomic<std::size_t> decodedLeft_;
  std::atomic<std::size_t> tokensLeft_;
  std::atomic<std::size_t> formsLeft_;
  mutable std::mutex cutMutex_;
  std::set<std::int32_t> cut_;
};

}  // namespace kestrel
