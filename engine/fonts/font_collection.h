#pragma once
// TPDFFontCollection: the font cache of one document. It loads each font dictionary once (by
// the object number it is reached through), tells which font is current, and bounds the
// memory its fonts keep by dropping the least recently used ones.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/fonts/font_record.h"

namespace kestrel {

class TPDFDictionary;
class TPDFIndRef;
class TPDFObject;

class TPDFFontCollection {
 public:
  using TResolveCallback = std::function<TPDFObject*(TPDFIndRef*)>;

  TPDFFontCollection();
  ~TPDFFontCollection();
  TPDFFontCollection(const TPDFFontCollection&) = delete;
  TPDFFontCollection& operator=(const TPDFFontCollection&) = delete;

  // Turns an indirect reference into its object; without one, references resolve through
  // their own pool.
  TResolveCallback Resolver;
  // Bytes the fonts may keep (font programs, tables, cached outlines) before the least
  // recently used ones are dropped; a dropped font is loaded again when it is next selected.
  std::size_t MemoryBound = std::size_t{96} << 20;

  void SelectFontByRef(const TPDFIndRef& ref);
  // Loads a dictionary given directly in the resources; every call loads a new record.
  void LoadFontDict(TPDFDictionary& dict);
  void SelectFontByKey(std::int32_t objectNumber);
  // Makes a record current again (after a Type 3 glyph procedure selected other fonts).
  void Reselect(TPDFFontCollectionData* record) { current_ = record; }
  TPDFFontCollectionData* CurrentFont() const { return current_; }
  std::int32_t CurrentKey() const { return current_ ? current_->ObjectNumber : -1; }

  // Keeps a record from being dropped while text is drawn with it.
  class TPin {
   public:
    TPin(TPDFFontCollection& fonts, TPDFFontCollectionData* record);
    ~TPin();
    TPin(const TPin&) = delete;
    TPin& operator=(const TPin&) = delete;

   private:
    TPDFFontCollection& fonts_;
    TPDFFontCollectionData* record_;
  };

  // Appends the record(s) of one font object (see font_loader.cpp) and returns the record the
  // object stands for (null when none was made).
  TPDFFontCollectionData* LoadFont(TPDFObject* fontObject);

  TPDFObject* Resolve(TPDFObject* obj) const;
  std::size_t RecordCount() const { return records_.size(); }
  std::size_t MemorySize() const;
  // Records loaded in total and records dropped to stay within the bound.
  std::size_t LoadCount() const { return loads_; }
  std::size_t EvictionCount() const { return evictions_; }

 private:
  struct TEntry {
    std::unique_ptr<TPDFFontCollectionData> Record;
    std::uint64_t LastUse = 0;
    int Pins = 0;
  };
  TEntry* EntryOf(const TPDFFontCollectionData* record);
  void Touch(TPDFFontCollectionData* record);
  void Trim();
  void DropUnkeyed();

  std::vector<TEntry> records_;  // load order
  // Object number -> record, sorted by object number.
  std::vector<std::pair<std::int32_t, TPDFFontCollectionData*>> keyIndex_;
  TPDFFontCollectionData* current_ = nullptr;
  std::uint64_t clock_ = 0;
  std::size_t loads_ = 0;
  std::size_t evictions_ = 0;
};

}  // namespace kestrel
