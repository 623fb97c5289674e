#include "engine/fonts/font_collection.h"

#include <algorithm>

#include "engine/fonts/font_loader.h"
#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

// Fonts given directly in resources load a new record on every selection: only the latest
// few are kept.
constexpr std::size_t kMaxUnkeyedRecords = 16;

}  // namespace

TPDFFontCollection::TPDFFontCollection() = default;
TPDFFontCollection::~TPDFFontCollection() = default;

TPDFObject* TPDFFontCollection::Resolve(TPDFObject* obj) const {
  auto* ref = As<TPDFIndRef>(obj);
  if (!ref) return obj;
  return Resolver ? Resolver(ref) : ref->Resolve();
}

TPDFFontCollection::TEntry* TPDFFontCollection::EntryOf(const TPDFFontCollectionData* record) {
  for (auto& e : records_)
    if (e.Record.get() == record) return &e;
  return nullptr;
}

void TPDFFontCollection::Touch(TPDFFontCollectionData* record) {
  if (TEntry* e = EntryOf(record)) e->LastUse = ++clock_;
}

void TPDFFontCollection::SelectFontByRef(const TPDFIndRef& ref) {
  const std::int32_t key = ref.RefObjNum;
  auto it = std::lower_bound(keyIndex_.begin(), keyIndex_.end(), key,
                             [](const auto& e, std::int32_t k) { return e.first < k; });
  if (it != keyIndex_.end() && it->first == key) {
    current_ = it->second;
    Touch(current_);
    return;
  }
  TPDFFontCollectionData* record = LoadFont(const_cast<TPDFIndRef*>(&ref));
  if (!record) return;  // nothing loaded: the current font stays
  record->ObjectNumber = key;
  keyIndex_.insert(it, {key, record});
  current_ = record;
  Touch(record);
  Trim();
}

void TPDFFontCollection::LoadFontDict(TPDFDictionary& dict) {
  DropUnkeyed();
  TPDFFontCollectionData* record = LoadFont(&dict);
  if (!record) return;
  record->ObjectNumber = 0;
  current_ = record;
  Touch(record);
  Trim();
}

void TPDFFontCollection::SelectFontByKey(std::int32_t objectNumber) {
  auto it = std::lower_bound(keyIndex_.begin(), keyIndex_.end(), objectNumber,
                             [](const auto& e, std::int32_t k) { return e.first < k; });
  if (it != keyIndex_.end() && it->first == objectNumber) current_ = it->second;
}

TPDFFontCollection::TPin::TPin(TPDFFontCollection& fonts, TPDFFontCollectionData* record)
    : fonts_(fonts), record_(record) {
  if (TEntry* e = fonts_.EntryOf(record_)) ++e->Pins;
}

TPDFFontCollection::TPin::~TPin() {
  if (TEntry* e = fonts_.EntryOf(record_)) --e->Pins;
}

std::size_t TPDFFontCollection::MemorySize() const {
  std::size_t n = 0;
  for (const auto& e : records_) n += e.Record->MemorySize();
  return n;
}

void TPDFFontCollection::DropUnkeyed() {
  std::size_t unkeyed = 0;
  for (const auto& e : records_) unkeyed += e.Record->ObjectNumber == 0 ? 1 : 0;
  for (auto it = records_.begin(); it != records_.end() && unkeyed >= kMaxUnkeyedRecords;) {
    if (it->Record->ObjectNumber == 0 && it->Pins == 0 && it->Record.get() != current_) {
      it = records_.erase(it);
      --unkeyed;
    } else {
      ++it;
    }
  }
}

void TPDFFontCollection::Trim() {
  std::size_t total = MemorySize();
  while (total > MemoryBound) {
    // The least recently used record that no one is drawing with, never the current one.
    TEntry* victim = nullptr;
    for (auto& e : records_) {
      if (e.Pins > 0 || e.Record.get() == current_) continue;
      if (!victim || e.LastUse < victim->LastUse) victim = &e;
    }
    if (!victim) return;
    total -= std::min(total, victim->Record->MemorySize());
    TPDFFontCollectionData* gone = victim->Record.get();
    std::erase_if(keyIndex_, [gone](const auto& k) { return k.second == gone; });
    records_.erase(records_.begin() + (victim - records_.data()));
    ++evictions_;
  }
}

TPDFFontCollectionData* TPDFFontCollection::LoadFont(TPDFObject* fontObject) {
  ++loads_;
  auto record = std::make_unique<TPDFFontCollectionData>();
  LoadFontRecord(*this, fontObject, *record);
  records_.push_back(TEntry{std::move(record), ++clock_, 0});
  return records_.back().Record.get();
}

}  // namespace kestrel
