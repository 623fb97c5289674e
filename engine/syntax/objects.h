#pragma once
// PDF objects. Every object belongs to exactly one pool (TPDFStructure) that creates and
// frees it; containers hold non-owning pointers to objects of their own pool.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFStructure;

class TPDFObject {
 public:
  TPDFObject(TPDFStructure* owner, char typeCode) : owner_(owner), typeCode_(typeCode) {}
  virtual ~TPDFObject() = default;
  TPDFObject(const TPDFObject&) = delete;
  TPDFObject& operator=(const TPDFObject&) = delete;

  TPDFStructure* Owner() const { return owner_; }
  char TypeCode() const { return typeCode_; }

  bool IsIndirect = false;
  int32_t ObjNum = 0;
  int32_t GenNum = 0;
  void MarkIndirect(int32_t objNum, int32_t genNum) {
    IsIndirect = true;
    ObjNum = objNum;
    GenNum = genNum;
  }

  // PDF text of the object.
  TBytes ToText() const;
  virtual void WriteText(TBytes& out) const = 0;
  // Asks the owning pool to free this object early; it stays when anything still refers to it.
  virtual void Release();
  virtual void Renumber(int32_t /*delta*/) {}
  virtual bool Refers(const TPDFObject* /*x*/) const { return false; }

 private:
  TPDFStructure* owner_;
  char typeCode_;
};

class TPDFNull final : public TPDFObject {
 public:
  static constexpr char kTypeCode = '0';
  explicit TPDFNull(TPDFStructure* owner) : TPDFObject(owner, kTypeCode) {}
  void WriteText(TBytes& out) const override;
};

class TPDFBoolean final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 'B';
  TPDFBoolean(TPDFStructure* owner, bool v) : TPDFObject(owner, kTypeCode), Value(v) {}
  void WriteText(TBytes& out) const override;
  bool Value = false;
};

class TPDFNumeric final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 'n';
  TPDFNumeric(TPDFStructure* owner, double v) : TPDFObject(owner, kTypeCode), Value(v) {}
  void WriteText(TBytes& out) const override;
  void SetValue(double v) { Value = v; }
  // Rounded to the nearest integer, halves to even; saturates at the int32 range.
  int32_t AsInteger() const;
  double Value = 0;
};

class TPDFString final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 's';
  enum : uint8_t { kLiteral = 0, kHex = 1 };
  TPDFString(TPDFStructure* owner, TBytes v, uint8_t form)
      : TPDFObject(owner, kTypeCode), Value(std::move(v)), Form(form) {}
  void WriteText(TBytes& out) const override;
  void SetValue(TBytes v) { Value = std::move(v); }
  // UTF-16BE when it starts with a byte-order mark, else PDFDocEncoding; returned as UTF-8.
  std::string AsUnicode() const;
  TBytes Value;
  uint8_t Form = kLiteral;
};

class TPDFName final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 'N';
  TPDFName(TPDFStructure* owner, TBytes v) : TPDFObject(owner, kTypeCode), Value(std::move(v)) {}
  void WriteText(TBytes& out) const override;
  void SetValue(TBytes v) { Value = std::move(v); }
  TBytes Value;
  bool Shared = false;
};

class TPDFArray final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 'A';
  explicit TPDFArray(TPDFStructure* owner) : TPDFObject(owner, kTypeCode) {}
  void WriteText(TBytes& out) const override;
  void Release() override;
  void Renumber(int32_t delta) override;
  bool Refers(const TPDFObject* x) const override;

  int Count() const { return static_cast<int>(items_.size()); }
  // Item at a zero-based position (unresolved), null when out of range.
  TPDFObject* Item(int i) const;
  // Item resolved one level through the pool's reference handler.
  TPDFObject* ItemResolved(int i) const;
  void Add(TPDFObject* obj) { items_.push_back(obj); }
  void Reserve(int n);
  void DeleteAt(int i);
  void ReplaceAt(int i, TPDFObject* obj);
  bool AllNumbers() const;
  int IndexOfText(const TPDFObject* obj) const;
  const std::vector<TPDFObject*>& Items() const { return items_; }

 private:
  std::vector<TPDFObject*> items_;
};

class TPDFDictionary final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 'D';
  using Entry = std::pair<TPDFName*, TPDFObject*>;
  explicit TPDFDictionary(TPDFStructure* owner) : TPDFObject(owner, kTypeCode) {}
  void WriteText(TBytes& out) const override;
  void Release() override;
  void Renumber(int32_t delta) override;
  bool Refers(const TPDFObject* x) const override;

  int Count() const { return static_cast<int>(entries_.size()); }
  Entry EntryAt(int i) const;
  int IndexOf(TByteView key) const;
  // The value under key; with resolve, a reference is resolved one level.
  TPDFObject* GetValue(TByteView key, bool resolve = true) const;
  int32_t GetInteger(TByteView key, int32_t defaultValue) const;
  // Numeric value (resolved), or the default.
  double GetNumber(TByteView key, double defaultValue) const;
  // Value of a name entry (resolved), empty when absent or not a name.
  TBytes GetNameValue(TByteView key) const;
  TBytes GetTypeName() const;
  void SetEntry(TPDFName* key, TPDFObject* value);
  void SetValue(TByteView key, TPDFObject* value);
  void Unlink(TByteView key);
  void DeleteKey(TByteView key);
  void CopyFrom(const TPDFDictionary* source);
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

class TPDFStream final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 'S';
  // A stream always has a dictionary; pass null to have a fresh one made in the same pool.
  TPDFStream(TPDFStructure* owner, TPDFDictionary* dict, TBytes data);
  void WriteText(TBytes& out) const override;
  void Release() override;
  void Renumber(int32_t delta) override;
  bool Refers(const TPDFObject* x) const override;

  TPDFDictionary* Dictionary() const { return dict_; }
  // The raw data: owned, or borrowed from bytes that outlive the stream (BorrowRawData).
  TByteView Data() const { return borrowed_ ? borrowed_.value() : TByteView(data_); }
  // Data decoded through the stream's filter chain (the raw data is unchanged). All stages
  // together produce at most limits::kMaxDecodedStreamBytes, and no more than `budget` has
  // left when one is given (it is charged for every stage). A chain cut short before its last
  // stage gives no data; a last stage cut short gives what it decoded.
  TBytes Decode(class TDecodeBudget* budget = nullptr) const;
  void SetRawData(TBytes bytes);
  // Points the stream at data that stays where it is instead of a copy of it: a scanned page's
  // image is read from the mapped file. `bytes` must outlive the stream.
  void BorrowRawData(TByteView bytes);
  void SetData(TBytes bytes, bool compress);
  void ReplaceDictionary(TPDFDictionary* dict);
  // A record the document may attach (the parsed index of an object stream); not owned.
  void* LinkedObject = nullptr;

 private:
  TPDFDictionary* dict_;
  TBytes data_;
  std::optional<TByteView> borrowed_;
};

class TPDFIndRef final : public TPDFObject {
 public:
  static constexpr char kTypeCode = 'I';
  TPDFIndRef(TPDFStructure* owner, int32_t objNum, int32_t genNum)
      : TPDFObject(owner, kTypeCode), RefObjNum(objNum), RefGenNum(genNum) {}
  void WriteText(TBytes& out) const override;
  void Renumber(int32_t delta) override { RefObjNum += delta; }
  // The object named, through the owner's resolve handler; null without a handler.
  TPDFObject* Resolve() const;
  int32_t RefObjNum;
  int32_t RefGenNum;
};

// Class test: the object as T when it is one (null is never of any class).
template <class T>
T* As(TPDFObject* obj) {
  return obj != nullptr && obj->TypeCode() == T::kTypeCode ? static_cast<T*>(obj) : nullptr;
}
template <class T>
const T* As(const TPDFObject* obj) {
  return obj != nullptr && obj->TypeCode() == T::kTypeCode ? static_cast<const T*>(obj) : nullptr;
}

// Resolves a reference one level; any other object is returned as is.
TPDFObject* ResolveRef(TPDFObject* obj);

// Writes a number with at most `precision` decimals, trailing zeros dropped, "." as separator.
void AppendDecimal(TBytes& out, double v, int precision);

}  // namespace kestrel
