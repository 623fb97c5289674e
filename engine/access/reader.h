#pragma once
// TSmartPDFReader: reads a PDF held whole in memory through its cross-reference data and
// loads single objects on demand, keeping the last 100 in a cache.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/access/sorted_number_list.h"
#include "engine/syntax/structure.h"

namespace kestrel {

struct TXRefScan;

struct TXRefEntry {
  int32_t Number = 0;     // the object number once the slot is filled
  int64_t Location = 0;   // 'n': byte offset; 'c': object stream number; 'f': next free
  int32_t Second = 0;     // 'n', 'f': generation; 'c': index in the object stream
  char Type = 0;          // 'n', 'f', 'c'
};

class TSmartPDFReader {
 public:
  enum Problem : int32_t { kNoProblem = 0, kNoHeader = 1, kBadXRef = 2 };

  explicit TSmartPDFReader(TByteView source);
  // The reader keeps a view of the bytes: a temporary string would leave it dangling.
  explicit TSmartPDFReader(TBytes&&) = delete;
  ~TSmartPDFReader();
  TSmartPDFReader(const TSmartPDFReader&) = delete;
  TSmartPDFReader& operator=(const TSmartPDFReader&) = delete;

  int32_t GetProblem() const { return problem_; }
  const std::string& Version() const { return version_; }
  bool Encrypted() const { return encrypted_; }
  bool HasXRefStream() const { return hasXRefStream_; }
  int64_t StartXRef() const { return startXRef_; }
  TPDFDictionary* NewestTrailer() const { return trailers_.empty() ? nullptr : trailers_.front(); }
  TPDFStructure& Pool() { return *pool_; }
  TByteView Source() const { return source_; }

  // The object, or null. Without a pool it goes through the cache and lives in the reader's
  // pool; with a pool it is parsed afresh into that pool.
  TPDFObject* LoadObject(int32_t objNum, TPDFStructure* pool = nullptr);
  TPDFDictionary* TrailerDictionary(TByteView key);
  TPDFIndRef* TrailerReference(TByteView key);
  bool IsCompressed(int32_t objNum) const;
  int32_t HighestObjectNumber() const { return static_cast<int32_t>(table_.size()) - 1; }
  const TXRefEntry* Entry(int32_t objNum) const;

  // Whether the cross-reference data was rebuilt by scanning the file, and why: the damage
  // found (also set when the file could not be opened at all).
  bool Repaired() const { return repaired_; }
  const std::string& Damage() const { return damage_; }
  // Whether the file was scanned for objects (never for a sound file).
  bool Scanned() const { return scan_ != nullptr; }
  // Whether a cross-reference section could be read only in part (the rest comes from the scan).
  bool TableDamaged() const { return tableDamaged_; }

  // Objects (number, generation) asked for through LoadObject and not found since the last
  // call, in the order asked; free objects are null by definition and not listed.
  std::vector<std::pair<int32_t, int32_t>> TakeMissingObjects();

  // Called for every object loaded from the file body (not from an object stream), before
  // anyone sees it: the security handler decrypts its strings and streams here.
  using LoadedObjectHook = std::function<void(TPDFObject* obj, int32_t objNum, int32_t genNum)>;
  // Objects loaded before the hook changes are dropped from the caches, so that nobody gets an
  // object that missed (or got) the hook.
  void SetLoadedObjectHook(LoadedObjectHook hook);

 private:
  struct ObjectStreamIndex;

  bool ReadStructure();
  // The catalogue resolves to a dictionary whose page tree root resolves too.
  bool StructureUsable();
  // Rebuilds the table and the trailer from the scan; false when nothing usable was found.
  bool RebuildFromScan();
  // Indexes the objects of the object streams the scan found (free slots only).
  void IndexScannedObjectStreams();
  // The scan of the whole file, made on first use.
  const TXRefScan& Scan();
  // Where the scan found the header of object `objNum`, or -1.
  int64_t ScannedOffset(int32_t objNum);
  // Whether the catalogue's cross-reference entry points exactly at its object.
  bool RootAtItsOffset();
  void ResetStructure();
  bool ReadXRefChain(int64_t offset);
  // Reads one section; on success sets `prev` to the next older section (0 when none).
  bool ReadSection(int64_t offset, int64_t& prev);
  bool ReadClassicTable(std::size_t afterXref, int64_t& prev);
  bool ReadXRefStream(std::size_t dictStart, int64_t& prev, bool overrideFree);
  bool GrowTable(int64_t size);
  void StoreEntry(int64_t objNum, const TXRefEntry& e, bool overrideFree = false);
  TByteView Read(int64_t pos, int64_t len) const;

  TPDFObject* LoadUncached(int32_t objNum, TPDFStructure& pool);
  // An object of the file body: at its table offset when the object found there is the one
  // asked for, else where the scan found it. `gen` receives the generation of the one taken.
  TPDFObject* LoadFromBody(int32_t objNum, TPDFStructure& pool, int32_t& gen);
  TPDFObject* ParseBody(TByteView body, TPDFStructure& pool, bool& lengthMatched);
  // An object's bytes from an offset, up to the next offset the table (or the scan) knows.
  TByteView TextFromTable(int64_t offset) const;
  TByteView TextFromScan(int64_t offset);
  void NoteMissing(int32_t objNum);
  TByteView ObjectStreamText(int32_t objNum, const TXRefEntry& e);
  ObjectStreamIndex* OpenObjectStream(int32_t streamNum);
  TPDFObject* LoadLengthRef(const TPDFIndRef* ref);

  TByteView source_;
  std::string version_;
  std::unique_ptr<TPDFStructure> pool_;
  int32_t problem_ = kNoProblem;
  int64_t startXRef_ = 0;
  std::vector<TXRefEntry> table_;
  TSortedNumberList knownOffsets_;
  std::vector<TPDFDictionary*> trailers_;
  std::vector<std::pair<int32_t, TPDFObject*>> cache_;
  std::map<int32_t, std::unique_ptr<ObjectStreamIndex>> objectStreams_;
  std::set<int32_t> openingStreams_;
  bool hasXRefStream_ = false;
  bool encrypted_ = false;
  int loadDepth_ = 0;
  LoadedObjectHook loadedHook_;
  std::unique_ptr<TXRefScan> scan_;
  TByteView scanSource_;  // the bytes the scan was made of
  bool tableDamaged_ = false;
  std::vector<std::pair<int32_t, int32_t>> missing_;
  bool repaired_ = false;
  // Object streams of a rebuilt encrypted file wait for the security handler's hook.
  bool objectStreamsPending_ = false;
  std::string damage_;
};

}  // namespace kestrel
