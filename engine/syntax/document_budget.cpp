#include "engine/syntax/document_budget.h"

#include <algorithm>
#include <limits>

#include "engine/syntax/limits.h"

namespace kestrel {

namespace {

// base + perByte × fileSize, saturated.
std::size_t Scaled(std::size_t base, std::size_t perByte, std::size_t fileSize) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  if (fileSize > (kMax - base) / perByte) return kMax;
  return base + perByte * fileSize;
}

}  // namespace

TDocumentBudget::TDocumentBudget(const TAmounts& total)
    : decodedLeft_(total.DecodedBytes), tokensLeft_(total.Tokens), formsLeft_(total.FormInvocations) {}

TDocumentBudget::TAmounts TDocumentBudget::ForFileSize(std::size_t fileSize) {
  return {Scaled(limits::kDocumentDecodedBytes, limits::kDocumentDecodedBytesPerFileByte, fileSize),
          Scaled(limits::kDocumentTokens, limits::kDocumentTokensPerFileByte, fileSize),
          Scaled(limits::kDocumentFormInvocations, 1, fileSize / limits::kFileBytesPerFormInvocation)};
}

TDocumentBudget::TAmounts TDocumentBudget::Allowance(const TAmounts& pageLimits) const {
  return {std::min(pageLimits.DecodedBytes, decodedLeft_.load()), std::min(pageLimits.Tokens, tokensLeft_.load()),
          std::min(pageLimits.FormInvocations, formsLeft_.load())};
}

void TDocumentBudget::Take(std::atomic<std::size_t>& left, std::size_t amount) {
  std::size_t now = left.load();
  while (!left.compare_exchange_weak(now, now - std::min(now, amount))) {
  }
}

void TDocumentBudget::Spend(const TAmounts& spent) {
  Take(decodedLeft_, spent.DecodedBytes);
  Take(tokensLeft_, spent.Tokens);
  Take(formsLeft_, spent.FormInvocations);
}

bool TDocumentBudget::BeginDecode(std::int32_t objNum, bool mayWait, std::int32_t& cutOnPage) {
  std::unique_lock<std::mutex> lock(streamsMutex_);
  if (mayWait) streamDone_.wait(lock, [&] { return decoding_.count(objNum) == 0; });
  if (auto it = cut_.find(objNum); it != cut_.end()) {
    cutOnPage = it->second;
    return false;
  }
  ++decoding_[objNum];
  return true;
}

void TDocumentBudget::EndDecode(std::int32_t objNum, bool cut, std::int32_t page) {
  {
    std::lock_guard<std::mutex> lock(streamsMutex_);
    if (cut) cut_.emplace(objNum, page);
    else whole_.insert(objNum);
    if (auto it = decoding_.find(objNum); it != decoding_.end() && --it->second == 0) decoding_.erase(it);
  }
  streamDone_.notify_all();
}

bool TDocumentBudget::DecodedBefore(std::int32_t objNum) {
  std::lock_guard<std::mutex> lock(streamsMutex_);
  return whole_.count(objNum) != 0;
}

}  // namespace kestrel
