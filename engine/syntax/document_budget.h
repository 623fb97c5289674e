#pragma once
// TDocumentBudget: what all the pages of one document may spend together, on top of each
// page's own limits. Without it a document multiplies the page limits: twenty pages that share
// one stream decoding to gigabytes, or ten pages that each draw a million forms, cost minutes
// for a file of a few kilobytes. The allowances grow with the file's size, since a large file
// may need that much work legitimately. Pages rendered at once on several threads, through one
// document handle or through several handles on the same file, share one safely.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <mutex>

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

  // Streams (by object number) whose decoding a limit cut short are left out after the first
  // time: decoding them again on every page would only repeat the cost. BeginDecode says
  // whether stream `objNum` may be decoded (false: it was cut before). While another page
  // decodes the same stream it first waits for that page to finish with it, so that pages
  // drawn at the same moment do not all decode a stream too big for any of them; a caller
  // that is itself inside another decoding passes mayWait = false, so two pages never wait on
  // each other. Every true answer is followed by EndDecode, with whether a limit cut it and the
  // page (its object number) that decoded it; a false one gives that page in `cutOnPage`.
  bool BeginDecode(std::int32_t objNum, bool mayWait, std::int32_t& cutOnPage);
  void EndDecode(std::int32_t objNum, bool cut, std::int32_t page);
  // Whether a page decoded stream `objNum` before without a limit cutting it short.
  bool DecodedBefore(std::int32_t objNum);

 private:
  static void Take(std::atomic<std::size_t>& left, std::size_t amount);

  std::atomic<std::size_t> decodedLeft_;
  std::atomic<std::size_t> tokensLeft_;
  std::atomic<std::size_t> formsLeft_;
  std::mutex streamsMutex_;
  std::condition_variable streamDone_;
  std::map<std::int32_t, std::int32_t> cut_;  // stream -> the page that found it too large
  std::set<std::int32_t> whole_;  // streams decoded in full at least once
  std::map<std::int32_t, int> decoding_;  // streams being decoded, and by how many pages
};

}  // namespace kestrel
