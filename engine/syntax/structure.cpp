#include "engine/syntax/structure.h"

#include <algorithm>
#include <array>

namespace kestrel {

namespace {

constexpr std::array<std::string_view, 29> kSharedKeyNames = {
    "MediaBox", "Length", "CropBox", "Type", "Subtype", "Name", "Pages", "Page",
    "Parent", "Font", "Contents", "BaseFont", "PDF", "Text", "ImageB", "ImageC",
    "ImageI", "Resources", "ProcSet", "ExtGState", "Type1", "TrueType", "WinAnsiEncoding",
    "Filter", "FlateDecode", "Annot", "URI", "Goto", "XYZ"};

}  // namespace

TPDFStructure::TPDFStructure() { objects_.reserve(1000); }

TPDFStructure::~TPDFStructure() = default;

void TPDFStructure::Reset() {
  objects_.clear();
  Precision = 4;
}

TPDFNull* TPDFStructure::NewNull() { return Make<TPDFNull>(); }
TPDFBoolean* TPDFStructure::NewBoolean(bool value) { return Make<TPDFBoolean>(value); }
TPDFNumeric* TPDFStructure::NewNumeric(double value) { return Make<TPDFNumeric>(value); }
TPDFName* TPDFStructure::NewName(TByteView text) { return Make<TPDFName>(TBytes(text)); }
TPDFString* TPDFStructure::NewString(TByteView bytes, uint8_t form) {
  return Make<TPDFString>(TBytes(bytes), form);
}
TPDFArray* TPDFStructure::NewArray() { return Make<TPDFArray>(); }

TPDFArray* TPDFStructure::NewArrayOf(const std::vector<TPDFObject*>& items) {
  auto* a = NewArray();
  a->Reserve(static_cast<int>(items.size()));
  for (auto* item : items) a->Add(item);
  return a;
}

TPDFArray* TPDFStructure::NewNumberArray(const std::vector<int32_t>& values) {
  auto* a = NewArray();
  a->Reserve(static_cast<int>(values.size()));
  for (int32_t v : values) a->Add(NewNumeric(v));
  return a;
}

TPDFDictionary* TPDFStructure::NewDictionary() { return Make<TPDFDictionary>(); }
TPDFIndRef* TPDFStructure::NewIndRef(int32_t objNum, int32_t genNum) {
  return Make<TPDFIndRef>(objNum, genNum);
}

TPDFStream* TPDFStructure::NewStream(TBytes bytes, bool compress) {
  auto* s = Make<TPDFStream>(nullptr, TBytes());
  s->SetData(std::move(bytes), compress);
  return s;
}

TPDFStream* TPDFStructure::NewStreamOf(TPDFDictionary* dict, TBytes bytes) {
  return Make<TPDFStream>(dict, std::move(bytes));
}

TPDFName* TPDFStructure::FindName(TByteView text) const {
  for (const auto& obj : objects_)
    if (auto* n = As<TPDFName>(obj.get()); n && n->Value == text) return n;
  return nullptr;
}

bool TPDFStructure::IsSharedKeyName(TByteView text) {
  return std::find(kSharedKeyNames.begin(), kSharedKeyNames.end(), text) != kSharedKeyNames.end();
}

TPDFName* TPDFStructure::CommonName(TByteView text) {
  TPDFName* name = nullptr;
  if (IsSharedKeyName(text)) {
    // Reuse only names already marked shared: an ordinary name of the same value may be
    // released early by its owner.
    for (const auto& obj : objects_)
      if (auto* n = As<TPDFName>(obj.get()); n && n->Shared && n->Value == text) {
        name = n;
        break;
      }
  }
  if (!name) name = NewName(text);
  name->Shared = true;
  return name;
}

void TPDFStructure::DeleteObject(TPDFObject* obj) {
  if (!obj) return;
  if (auto* n = As<TPDFName>(obj); n && n->Shared) return;
  auto it = std::find_if(objects_.rbegin(), objects_.rend(),
                         [obj](const std::unique_ptr<TPDFObject>& p) { return p.get() == obj; });
  if (it == objects_.rend()) return;
  for (const auto& other : objects_)
    if (other.get() != obj && other->Refers(obj)) return;
  objects_.erase(std::next(it).base());
}

}  // namespace kestrel
