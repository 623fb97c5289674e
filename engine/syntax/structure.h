#pragma once
// TPDFStructure: the object pool. It creates every PDF object and frees them all together.
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "engine/syntax/objects.h"

namespace kestrel {

class TPDFStructure {
 public:
  using ResolveHandler = std::function<TPDFObject*(TPDFIndRef* sender, int32_t objNum, int32_t genNum)>;
  using NewIndirectHandler = std::function<int32_t(TPDFObject* object, int32_t& genNum)>;

  TPDFStructure();
  ~TPDFStructure();
  TPDFStructure(const TPDFStructure&) = delete;
  TPDFStructure& operator=(const TPDFStructure&) = delete;

  void Reset();
  std::size_t ObjectCount() const { return objects_.size(); }

  TPDFNull* NewNull();
  TPDFBoolean* NewBoolean(bool value);
  TPDFNumeric* NewNumeric(double value);
  TPDFName* NewName(TByteView text);
  TPDFString* NewString(TByteView bytes, uint8_t form);
  TPDFArray* NewArray();
  TPDFArray* NewArrayOf(const std::vector<TPDFObject*>& items);
  TPDFArray* NewNumberArray(const std::vector<int32_t>& values);
  TPDFDictionary* NewDictionary();
  TPDFIndRef* NewIndRef(int32_t objNum, int32_t genNum);
  TPDFStream* NewStream(TBytes bytes, bool compress);
  TPDFStream* NewStreamOf(TPDFDictionary* dict, TBytes bytes);

  TPDFName* FindName(TByteView text) const;
  // A shared name for a common key, reused within the pool.
  TPDFName* CommonName(TByteView text);
  static bool IsSharedKeyName(TByteView text);
  // Frees an object early unless it is a shared name or another object of the pool refers to it.
  void DeleteObject(TPDFObject* obj);

  // Parsing (see parser.cpp).
  TPDFObject* ParseObject(TByteView text);
  TPDFObject* ParseObjectAt(TByteView text, std::size_t& consumed);
  static TBytes DecodeLiteralString(TByteView text);
  static TBytes DecodeHexString(TByteView text);

  ResolveHandler OnResolveRef;
  NewIndirectHandler OnNewIndirect;
  int Precision = 4;

 private:
  template <class T, class... Args>
  T* Make(Args&&... args) {
    // Growth in proportion to the pool keeps big parses linear.
    if (objects_.capacity() - objects_.size() < 100)
      objects_.reserve(objects_.size() + std::max<std::size_t>(1000, objects_.size() / 2));
    auto obj = std::make_unique<T>(this, std::forward<Args>(args)...);
    T* raw = obj.get();
    objects_.push_back(std::move(obj));
    return raw;
  }
  friend class TPDFStream;

  std::vector<std::unique_ptr<TPDFObject>> objects_;
};

}  // namespace kestrel
