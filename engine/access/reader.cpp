#include "engine/access/reader.h"

#include <algorithm>
#include <utility>

#include "engine/access/xref_locator.h"
#include "engine/access/xref_scan.h"
#include "engine/access/access_limits.h"
#include "engine/syntax/stream_locator.h"

namespace kestrel {

namespace {
constexpr std::size_t kCacheCapacity = 100;
// Bytes of a trailer or cross-reference stream dictionary parsed by the rebuild.
constexpr std::size_t kTrailerWindow = 64 * 1024;
// Object headers the scan keeps: far more than any real file, a bound for garbage.
constexpr std::size_t kMaxScannedObjects = 16'000'000;
// Missing objects remembered between two TakeMissingObjects calls.
constexpr std::size_t kMaxMissingNoted = 16;
}

// The parsed header of an object stream: its decoded data and the (number, offset) pairs.
struct TSmartPDFReader::ObjectStreamIndex {
  TBytes Data;
  int64_t First = 0;
  std::vector<std::pair<int32_t, int64_t>> Pairs;
};

TSmartPDFReader::TSmartPDFReader(TByteView source)
    : source_(source), pool_(std::make_unique<TPDFStructure>()) {
  pool_->OnResolveRef = [this](TPDFIndRef*, int32_t objNum, int32_t) { return LoadObject(objNum); };
  std::size_t headerAt = 0;
  if (!CheckPDFHeader(source_, version_, &headerAt)) {
    problem_ = kNoHeader;
    return;
  }
  const TByteView whole = source_;
  bool ok = ReadStructure();
  // Some writers count offsets from the header rather than from the file's first byte (junk
  // in front of a file that was correct on its own). When the offsets as written lead nowhere,
  // read them again relative to the header.
  if (headerAt > 0 && (!ok || !RootAtItsOffset())) {
    ResetStructure();
    source_ = whole.substr(headerAt);
    if (!ReadStructure() || !RootAtItsOffset()) {
      ResetStructure();
      source_ = whole;
      ok = ReadStructure();
    } else {
      ok = true;
    }
  }
  // Damaged cross-reference data, or data that leads nowhere: rebuild it from a scan of the
  // file. Sound files never get here.
  std::string damage;
  // The catalogue of an encrypted file may sit in an object stream that cannot be read before
  // the security handler exists, so a readable table of such a file is taken as it is (when
  // its encryption dictionary can be read; without one, nothing is encrypted).
  const bool sealed = ok && TrailerDictionary("Encrypt") != nullptr;
  if (!ok) {
    damage = startXRef_ <= 0 ? "no startxref" : "unreadable cross-reference data at offset " +
                                                    std::to_string(startXRef_);
  } else if (!sealed && !StructureUsable()) {
    damage = TrailerDictionary("Root") ? "the page tree cannot be found"
                                       : "the catalogue cannot be found";
  }
  if (!damage.empty()) {
    const TByteView chosen = source_;
    source_ = whole;
    if (RebuildFromScan()) {
      repaired_ = true;
      damage_ = damage;
    } else {
      ResetStructure();
      source_ = chosen;
      // A table that reads but leads nowhere stays as it was (the document reports it).
      if (!ok || !ReadStructure()) {
        ResetStructure();
        problem_ = kBadXRef;
        damage_ = damage;
        return;
      }
    }
  }
  // An "Encrypt" entry that names no dictionary (a damaged object) leaves the file readable as
  // it is, as other readers take it.
  encrypted_ = trailers_.front()->GetValue("Encrypt", false) != nullptr && TrailerDictionary("Encrypt");
  missing_.clear();
}

bool TSmartPDFReader::StructureUsable() {
  TPDFDictionary* root = TrailerDictionary("Root");
  if (!root) return false;
  auto* pages = As<TPDFIndRef>(root->GetValue("Pages", false));
  return pages ? As<TPDFDictionary>(LoadObject(pages->RefObjNum)) != nullptr
               : As<TPDFDictionary>(root->GetValue("Pages", false)) != nullptr;
}

const TXRefScan& TSmartPDFReader::Scan() {
  // Made once per document: the offsets are kept relative to the bytes read, which change
  // only when the file turns out to count its offsets from a header further in.
  if (!scan_ || scanSource_.data() != source_.data() || scanSource_.size() != source_.size()) {
    scan_ = std::make_unique<TXRefScan>(ScanForObjects(
        source_, static_cast<int32_t>(limits::kMaxObjectNumber), kMaxScannedObjects));
    scanSource_ = source_;
  }
  return *scan_;
}

int64_t TSmartPDFReader::ScannedOffset(int32_t objNum) {
  const TXRefScan& scan = Scan();
  if (objNum < 1 || static_cast<std::size_t>(objNum) >= scan.Last.size()) return -1;
  const int64_t k = scan.Last[static_cast<std::size_t>(objNum)];
  return k < 0 ? -1 : scan.Objects[static_cast<std::size_t>(k)].Offset;
}

bool TSmartPDFReader::RebuildFromScan() {
  ResetStructure();
  const TXRefScan& scan = Scan();
  if (scan.Objects.empty()) return false;
  table_.assign(scan.Last.size(), TXRefEntry{});
  for (std::size_t num = 1; num < scan.Last.size(); ++num) {
    if (scan.Last[num] < 0) continue;
    const TScannedObject& o = scan.Objects[static_cast<std::size_t>(scan.Last[num])];
    table_[num] = TXRefEntry{o.Number, o.Offset, o.Generation, 'n'};
  }
  for (const TScannedObject& o : scan.Objects) knownOffsets_.Add(o.Offset);
  for (const int64_t t : scan.Trailers) knownOffsets_.Add(t);
  knownOffsets_.Sort();

  // Trailer dictionaries and cross-reference stream dictionaries, in file order.
  std::vector<std::pair<int64_t, TPDFDictionary*>> found;
  auto dictionaryAt = [this](std::size_t at) -> TPDFDictionary* {
    if (at >= source_.size()) return nullptr;
    TByteView text = source_.substr(at, kTrailerWindow);
    const std::size_t open = text.find("<<");
    if (open == TByteView::npos || open > 64) return nullptr;
    return As<TPDFDictionary>(pool_->ParseObject(text.substr(open)));
  };
  for (const int64_t t : scan.Trailers)
    if (TPDFDictionary* d = dictionaryAt(static_cast<std::size_t>(t) + 7)) found.emplace_back(t, d);
  for (const TScannedObject& o : scan.Objects) {
    if (!o.XRefStream) continue;
    const std::size_t obj = source_.find("obj", static_cast<std::size_t>(o.Offset));
    TPDFDictionary* d = obj == TByteView::npos ? nullptr : dictionaryAt(obj + 3);
    if (d && d->GetTypeName() == "XRef") found.emplace_back(o.Offset, d);
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });

  // Each key from the last dictionary that has it.
  TPDFDictionary* trailer = pool_->NewDictionary();
  for (const char* key : {"Root", "Info", "Encrypt", "ID"}) {
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
      if (TPDFObject* v = it->second->GetValue(key, false)) {
        trailer->SetValue(key, v);
        break;
      }
    }
  }
  trailers_.push_back(trailer);
  for (auto it = found.rbegin(); it != found.rend(); ++it) trailers_.push_back(it->second);

  // Encrypted object streams are opened once the security handler can decrypt them.
  if (trailer->GetValue("Encrypt", false)) {
    objectStreamsPending_ = true;
    return trailer->GetValue("Root", false) != nullptr;
  }
  IndexScannedObjectStreams();
  if (StructureUsable()) return true;

  // No usable catalogue named: the last object that is one (with a page tree when one has).
  TPDFObject* named = trailer->GetValue("Root", false);
  TPDFIndRef* lost = nullptr;  // a catalogue whose page tree is gone
  auto tryCatalogue = [&](int32_t num, int32_t gen) {
    auto* d = As<TPDFDictionary>(LoadObject(num));
    if (!d || d->GetTypeName() != "Catalog") return false;
    TPDFIndRef* ref = pool_->NewIndRef(num, gen);
    trailer->SetValue("Root", ref);
    if (StructureUsable()) return true;
    if (!lost) lost = ref;
    return false;
  };
  for (auto it = scan.Objects.rbegin(); it != scan.Objects.rend(); ++it) {
    const auto k = static_cast<int64_t>(scan.Objects.rend() - it - 1);
    if (scan.Last[static_cast<std::size_t>(it->Number)] != k) continue;
    const auto begin = static_cast<std::size_t>(it->Offset);
    if (source_.substr(begin, 1024).find("/Catalog") == TByteView::npos) continue;
    if (tryCatalogue(it->Number, it->Generation)) return true;
  }
  for (std::size_t num = table_.size(); num-- > 1;)
    if (table_[num].Type == 'c' && tryCatalogue(static_cast<int32_t>(num), 0)) return true;
  // A catalogue whose page tree is lost still opens, with no pages, as other readers do.
  if (named) {
    trailer->SetValue("Root", named);
    if (TrailerDictionary("Root")) return true;
  }
  if (!lost) return false;
  trailer->SetValue("Root", lost);
  return true;
}

void TSmartPDFReader::IndexScannedObjectStreams() {
  const TXRefScan& scan = Scan();
  for (std::size_t k = 0; k < scan.Objects.size(); ++k) {
    const TScannedObject& o = scan.Objects[k];
    if (!o.ObjectStream || scan.Last[static_cast<std::size_t>(o.Number)] != static_cast<int64_t>(k))
      continue;
    ObjectStreamIndex* index = OpenObjectStream(o.Number);
    if (!index) continue;
    for (std::size_t i = 0; i < index->Pairs.size(); ++i) {
      const int32_t num = index->Pairs[i].first;
      if (num < 1 || num > limits::kMaxObjectNumber) continue;
      if (static_cast<std::size_t>(num) >= table_.size()) table_.resize(static_cast<std::size_t>(num) + 1);
      TXRefEntry& e = table_[static_cast<std::size_t>(num)];
      // Objects written in the file body win over copies kept in object streams.
      if (e.Type == 0) e = TXRefEntry{num, o.Number, static_cast<int32_t>(i), 'c'};
    }
  }
}

bool TSmartPDFReader::RootAtItsOffset() {
  TPDFIndRef* root = TrailerReference("Root");
  const TXRefEntry* e = root ? Entry(root->RefObjNum) : nullptr;
  if (!e) return false;
  if (e->Type == 'c') return TrailerDictionary("Root") != nullptr;
  if (e->Type != 'n') return false;
  // The entry must point at the line "<number> <generation> obj" itself.
  TByteView text = Read(e->Location, 32);
  std::size_t i = 0;
  while (i < text.size() && IsPDFWhitespace(static_cast<unsigned char>(text[i]))) ++i;
  const std::string number = std::to_string(root->RefObjNum);
  return text.substr(i, number.size()) == number && i + number.size() < text.size() &&
         IsPDFWhitespace(static_cast<unsigned char>(text[i + number.size()]));
}

bool TSmartPDFReader::ReadStructure() {
  startXRef_ = TPDFXRefReader(source_).FindStartXRef();
  if (startXRef_ <= 0 || !ReadXRefChain(startXRef_) || trailers_.empty() || !trailers_.front()) return false;
  knownOffsets_.Sort();
  return true;
}

void TSmartPDFReader::ResetStructure() {
  table_.clear();
  knownOffsets_ = TSortedNumberList();
  trailers_.clear();
  cache_.clear();
  objectStreams_.clear();
  hasXRefStream_ = false;
  objectStreamsPending_ = false;
  tableDamaged_ = false;
  pool_->Reset();
  pool_->OnResolveRef = [this](TPDFIndRef*, int32_t objNum, int32_t) { return LoadObject(objNum); };
}

TSmartPDFReader::~TSmartPDFReader() = default;

void TSmartPDFReader::SetLoadedObjectHook(LoadedObjectHook hook) {
  loadedHook_ = std::move(hook);
  cache_.clear();
  objectStreams_.clear();
  if (objectStreamsPending_ && loadedHook_) {
    objectStreamsPending_ = false;
    IndexScannedObjectStreams();
  }
}

const TXRefEntry* TSmartPDFReader::Entry(int32_t objNum) const {
  if (objNum < 1 || objNum >= static_cast<int32_t>(table_.size())) return nullptr;
  return &table_[static_cast<std::size_t>(objNum)];
}

bool TSmartPDFReader::IsCompressed(int32_t objNum) const {
  const TXRefEntry* e = Entry(objNum);
  return e && e->Type == 'c';
}

namespace {

enum class THeader { None, OtherObject, Unnumbered, Match };

// Whether `text` holds the header of object `objNum` before its first "obj"; `body` is the
// text after that "obj" and `generation` the header's generation.
THeader HeaderOf(TByteView text, int32_t objNum, TByteView& body, int64_t& generation) {
  // The "obj" of an "endobj" before the header (an offset a few bytes early) is not it.
  std::size_t obj = text.find("obj");
  while (obj != TByteView::npos && obj >= 3 && text.substr(obj - 3, 3) == "end") obj = text.find("obj", obj + 3);
  if (obj == TByteView::npos) return THeader::None;
  body = text.substr(obj + 3);
  int64_t number = 0;
  std::size_t start = 0;
  if (!ObjectHeaderBefore(text, obj, number, generation, start)) return THeader::Unnumbered;
  return number == objNum ? THeader::Match : THeader::OtherObject;
}

}  // namespace

TByteView TSmartPDFReader::TextFromTable(int64_t s) const {
  const auto size = static_cast<int64_t>(source_.size());
  if (s < 0 || s >= size) return {};
  int64_t end = knownOffsets_.NextAfter(s);
  if (end - 1 <= s) end = size;
  return Read(s, end - s);
}

TByteView TSmartPDFReader::TextFromScan(int64_t s) {
  // Bounded by the next header the scan found: the table's offsets may be the wrong ones.
  const auto& objects = Scan().Objects;
  const auto next = std::upper_bound(objects.begin(), objects.end(), s,
                                     [](int64_t at, const TScannedObject& o) { return at < o.Offset; });
  const int64_t end = next == objects.end() ? static_cast<int64_t>(source_.size()) : next->Offset;
  return Read(s, end - s);
}

TPDFObject* TSmartPDFReader::ParseBody(TByteView body, TPDFStructure& pool, bool& lengthMatched) {
  // Stream data stays in the source, which the reader's owner keeps for as long as any pool
  // objects are parsed into: a scan's image is not copied out of the mapped file.
  return ParseIndirectObjectText(body, pool, [this](const TPDFIndRef* ref) { return LoadLengthRef(ref); },
                                 &lengthMatched, true);
}

TPDFObject* TSmartPDFReader::LoadFromBody(int32_t objNum, TPDFStructure& pool, int32_t& gen) {
  const TXRefEntry* e = Entry(objNum);
  if (e && e->Type == 'f') return nullptr;
  const bool listed = e && e->Type == 'n';
  TPDFObject* obj = nullptr;
  bool matched = true;
  bool doubted = true;  // what the table says is not quite this object
  bool otherGeneration = false;
  // The text after the "obj" at the table's offset when it is not this object's header: used
  // as it is when the scan knows nothing better.
  TByteView lastResort;
  int64_t tableAt = -1;
  if (listed) {
    gen = e->Second;
    tableAt = e->Location;
    TByteView body;
    int64_t headerGen = 0;
    const THeader header = HeaderOf(TextFromTable(tableAt), objNum, body, headerGen);
    if (header == THeader::Match) {
      obj = ParseBody(body, pool, matched);
      otherGeneration = headerGen != e->Second;
      doubted = !matched || otherGeneration;
    } else if (header != THeader::None) {
      lastResort = body;
    }
  }
  // Offsets that point elsewhere, objects the table lacks because part of it could not be
  // read, and streams whose length does not reach "endstream" are looked up in the scan of
  // the whole file (made once, never for a sound file).
  if (doubted && (listed || tableDamaged_ || repaired_)) {
    const int64_t found = ScannedOffset(objNum);
    TByteView body;
    int64_t foundGen = 0;
    if (found >= 0 && (found != tableAt || !matched) &&
        HeaderOf(TextFromScan(found), objNum, body, foundGen) == THeader::Match) {
      bool foundMatched = true;
      TPDFObject* again = ParseBody(body, pool, foundMatched);
      if (!obj || (foundMatched && (!matched || (otherGeneration && foundGen == e->Second)))) {
        obj = again;
        gen = static_cast<int32_t>(foundGen);
      }
    }
  }
  if (!obj && !lastResort.empty()) obj = ParseBody(lastResort, pool, matched);
  return obj;
}

TPDFObject* TSmartPDFReader::LoadLengthRef(const TPDFIndRef* ref) { return LoadObject(ref->RefObjNum); }

TPDFObject* TSmartPDFReader::LoadUncached(int32_t objNum, TPDFStructure& pool) {
  if (objNum < 1 || objNum > limits::kMaxObjectNumber) return nullptr;
  // Nested loads (a "Length" or an object stream that needs another object) are bounded so
  // that objects naming themselves cannot recurse without end.
  if (loadDepth_ >= limits::kMaxLoadDepth) return nullptr;
  ++loadDepth_;
  struct DepthGuard {
    int& d;
    ~DepthGuard() { --d; }
  } guard{loadDepth_};

  const TXRefEntry* e = Entry(objNum);
  if (e && e->Type == 'c') {
    TByteView text = ObjectStreamText(objNum, *e);
    return text.empty() ? nullptr : pool.ParseObject(text);
  }
  int32_t gen = 0;
  TPDFObject* obj = LoadFromBody(objNum, pool, gen);
  if (obj) {
    obj->MarkIndirect(objNum, gen);
    if (loadedHook_) loadedHook_(obj, objNum, gen);
  }
  return obj;
}

void TSmartPDFReader::NoteMissing(int32_t objNum) {
  const TXRefEntry* e = Entry(objNum);
  if (objNum < 1 || (e && e->Type == 'f')) return;  // a free object is null by definition
  const int32_t gen = e && e->Type == 'n' ? e->Second : 0;
  const std::pair<int32_t, int32_t> ref{objNum, gen};
  if (missing_.size() < kMaxMissingNoted && std::find(missing_.begin(), missing_.end(), ref) == missing_.end())
    missing_.push_back(ref);
}

std::vector<std::pair<int32_t, int32_t>> TSmartPDFReader::TakeMissingObjects() {
  return std::exchange(missing_, {});
}

TPDFObject* TSmartPDFReader::LoadObject(int32_t objNum, TPDFStructure* pool) {
  // Only what a caller asks for counts as missing, not the loads made on the way there.
  const bool asked = loadDepth_ == 0;
  if (pool) {
    TPDFObject* obj = LoadUncached(objNum, *pool);
    if (!obj && asked) NoteMissing(objNum);
    return obj;
  }
  for (const auto& [num, obj] : cache_)
    if (num == objNum && obj) return obj;
  TPDFObject* obj = LoadUncached(objNum, *pool_);
  if (!obj && asked) NoteMissing(objNum);
  auto it = std::find_if(cache_.begin(), cache_.end(), [objNum](const auto& p) { return p.first == objNum; });
  if (it != cache_.end()) {
    it->second = obj;  // a cached empty result is replaced in place
  } else {
    if (cache_.size() >= kCacheCapacity) cache_.erase(cache_.begin());
    cache_.emplace_back(objNum, obj);
  }
  return obj;
}

TSmartPDFReader::ObjectStreamIndex* TSmartPDFReader::OpenObjectStream(int32_t streamNum) {
  if (auto it = objectStreams_.find(streamNum); it != objectStreams_.end()) return it->second.get();
  // An object stream that (through its own entries) needs itself is treated as absent.
  if (!openingStreams_.insert(streamNum).second) return nullptr;
  struct Opening {
    std::set<int32_t>& s;
    int32_t n;
    ~Opening() { s.erase(n); }
  } opening{openingStreams_, streamNum};

  const TXRefEntry* e = Entry(streamNum);
  if (!e || e->Type == 'c') return nullptr;  // object streams are never inside object streams
  auto* stream = As<TPDFStream>(LoadObject(streamNum));
  if (!stream) return nullptr;
  auto index = std::make_unique<ObjectStreamIndex>();
  TPDFDictionary* dict = stream->Dictionary();
  auto* n = As<TPDFNumeric>(dict->GetValue("N", true));
  auto* first = As<TPDFNumeric>(dict->GetValue("First", true));
  if (dict->GetTypeName() == "ObjStm" && n && first && n->Value >= 0 && first->Value >= 0) {
    index->Data = stream->Decode();
    index->First = static_cast<int64_t>(std::min(first->Value, 1e15));
    const auto count = static_cast<int64_t>(std::min(n->Value, 1e9));
    if (index->First <= static_cast<int64_t>(index->Data.size())) {
      TPDFStructure temp;
      TBytes header = "[ " + index->Data.substr(0, static_cast<std::size_t>(index->First)) + " ]";
      auto* array = As<TPDFArray>(temp.ParseObject(header));
      if (array && array->Count() >= 2 * count) {
        index->Pairs.reserve(static_cast<std::size_t>(count));
        for (int64_t i = 0; i < count; ++i) {
          auto* num = As<TPDFNumeric>(array->Item(static_cast<int>(2 * i)));
          auto* off = As<TPDFNumeric>(array->Item(static_cast<int>(2 * i + 1)));
          index->Pairs.emplace_back(num ? num->AsInteger() : 0, off ? off->AsInteger() : 0);
        }
      }
    }
  }
  auto* raw = index.get();
  stream->LinkedObject = raw;
  objectStreams_.emplace(streamNum, std::move(index));
  return raw;
}

TByteView TSmartPDFReader::ObjectStreamText(int32_t objNum, const TXRefEntry& e) {
  if (e.Location < 1 || e.Location > limits::kMaxObjectNumber) return {};
  ObjectStreamIndex* index = OpenObjectStream(static_cast<int32_t>(e.Location));
  if (!index) return {};
  const auto k = static_cast<std::size_t>(e.Second);
  if (e.Second < 0 || k >= index->Pairs.size() || index->Pairs[k].first != objNum) return {};
  const auto size = static_cast<int64_t>(index->Data.size());
  int64_t begin = index->First + index->Pairs[k].second;
  int64_t end = k + 1 < index->Pairs.size() ? index->First + index->Pairs[k + 1].second : size;
  begin = std::clamp<int64_t>(begin, 0, size);
  end = std::clamp<int64_t>(end, 0, size);
  // Offsets out of order: read to the end of the data; the parser stops after one object.
  if (end <= begin) end = size;
  return TByteView(index->Data).substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

TPDFDictionary* TSmartPDFReader::TrailerDictionary(TByteView key) {
  if (trailers_.empty() || !trailers_.front()) return nullptr;
  for (TPDFDictionary* trailer : trailers_) {
    if (!trailer) continue;
    TPDFObject* v = trailer->GetValue(key, false);
    if (auto* ref = As<TPDFIndRef>(v)) v = LoadObject(ref->RefObjNum);
    if (v) return As<TPDFDictionary>(v);
  }
  return nullptr;
}

TPDFIndRef* TSmartPDFReader::TrailerReference(TByteView key) {
  if (trailers_.empty() || !trailers_.front()) return nullptr;
  for (TPDFDictionary* trailer : trailers_) {
    if (!trailer) continue;
    if (TPDFObject* v = trailer->GetValue(key, false)) return As<TPDFIndRef>(v);
  }
  return nullptr;
}

}  // namespace kestrel
