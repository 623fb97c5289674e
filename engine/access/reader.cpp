#include "engine/access/reader.h"

#include <algorithm>

#include "engine/access/xref_locator.h"
#include "engine/access/access_limits.h"
#include "engine/syntax/stream_locator.h"

namespace kestrel {

namespace {
constexpr std::size_t kCacheCapacity = 100;
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
  bool ok = ReadStructure();
  // Some writers count offsets from the header rather than from the file's first byte (junk
  // in front of a file that was correct on its own). When the offsets as written lead nowhere,
  // read them again relative to the header.
  if (headerAt > 0 && (!ok || !RootAtItsOffset())) {
    const TByteView whole = source_;
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
  if (!ok) {
    problem_ = kBadXRef;
    return;
  }
  encrypted_ = trailers_.front()->GetValue("Encrypt", false) != nullptr;
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
  pool_->Reset();
  pool_->OnResolveRef = [this](TPDFIndRef*, int32_t objNum, int32_t) { return LoadObject(objNum); };
}

TSmartPDFReader::~TSmartPDFReader() = default;

void TSmartPDFReader::SetLoadedObjectHook(LoadedObjectHook hook) {
  loadedHook_ = std::move(hook);
  cache_.clear();
  objectStreams_.clear();
}

const TXRefEntry* TSmartPDFReader::Entry(int32_t objNum) const {
  if (objNum < 1 || objNum >= static_cast<int32_t>(table_.size())) return nullptr;
  return &table_[static_cast<std::size_t>(objNum)];
}

bool TSmartPDFReader::IsCompressed(int32_t objNum) const {
  const TXRefEntry* e = Entry(objNum);
  return e && e->Type == 'c';
}

TBytes TSmartPDFReader::LoadObjectText(int32_t objNum) {
  const TXRefEntry* e = Entry(objNum);
  if (!e) return {};
  if (e->Type == 'c') return TBytes(ObjectStreamText(objNum, *e));
  const int64_t s = e->Location;
  const auto size = static_cast<int64_t>(source_.size());
  if (s < 0 || s >= size) return {};
  int64_t end = knownOffsets_.NextAfter(s);
  if (end - 1 <= s) end = size;
  TByteView text = Read(s, end - s);
  std::size_t obj = text.find("obj");
  if (obj == TByteView::npos) return {};
  return TBytes(text.substr(obj + 3));
}

TPDFObject* TSmartPDFReader::LoadLengthRef(const TPDFIndRef* ref) { return LoadObject(ref->RefObjNum); }

TPDFObject* TSmartPDFReader::LoadUncached(int32_t objNum, TPDFStructure& pool) {
  const TXRefEntry* e = Entry(objNum);
  if (!e) return nullptr;
  // Nested loads (a "Length" or an object stream that needs another object) are bounded so
  // that objects naming themselves cannot recurse without end.
  if (loadDepth_ >= limits::kMaxLoadDepth) return nullptr;
  ++loadDepth_;
  struct DepthGuard {
    int& d;
    ~DepthGuard() { --d; }
  } guard{loadDepth_};

  TPDFObject* obj = nullptr;
  if (e->Type == 'c') {
    TByteView text = ObjectStreamText(objNum, *e);
    if (text.empty()) return nullptr;
    obj = pool.ParseObject(text);
    return obj;
  }
  const int32_t gen = e->Second;
  TBytes text = LoadObjectText(objNum);
  if (text.empty()) return nullptr;
  obj = ParseIndirectObjectText(text, pool, [this](const TPDFIndRef* ref) { return LoadLengthRef(ref); });
  if (obj) {
    obj->MarkIndirect(objNum, gen);
    if (loadedHook_) loadedHook_(obj, objNum, gen);
  }
  return obj;
}

TPDFObject* TSmartPDFReader::LoadObject(int32_t objNum, TPDFStructure* pool) {
  if (pool) return LoadUncached(objNum, *pool);
  for (const auto& [num, obj] : cache_)
    if (num == objNum && obj) return obj;
  TPDFObject* obj = LoadUncached(objNum, *pool_);
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
