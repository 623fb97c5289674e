#include "engine/access/document.h"

#include <algorithm>

namespace kestrel {

TSmartPDFDocument::TSmartPDFDocument(TSmartPDFReader& reader)
    : reader_(reader), localPool_(std::make_unique<TPDFStructure>()) {
  if (!reader_.NewestTrailer()) return;
  catalogueRef_ = reader_.TrailerReference("Root");
  catalogue_ = reader_.TrailerDictionary("Root");
  infoRef_ = reader_.TrailerReference("Info");
  info_ = reader_.TrailerDictionary("Info");
  if (!catalogue_) return;
  if (auto* pagesRef = As<TPDFIndRef>(catalogue_->GetValue("Pages", false))) {
    pagesRef_ = pagesRef;
    pages_ = As<TPDFDictionary>(LoadObject(pagesRef->RefObjNum));
  }
  TPDFObject* acroForm = catalogue_->GetValue("AcroForm", false);
  if (auto* direct = As<TPDFDictionary>(acroForm)) {
    // A form given inside the catalogue gets a number of its own so that it can be named.
    formRef_ = NewObject(direct);
    if (catalogue_->Owner() == &reader_.Pool()) {
      catalogue_->SetValue("AcroForm", reader_.Pool().NewIndRef(formRef_->RefObjNum, 0));
    }
    if (catalogueRef_) PutOverlay(catalogueRef_->RefObjNum, catalogue_);
    form_ = direct;
  } else if (auto* ref = As<TPDFIndRef>(acroForm)) {
    formRef_ = localPool_->NewIndRef(ref->RefObjNum, ref->RefGenNum);
    form_ = As<TPDFDictionary>(LoadObject(ref->RefObjNum));
  }
  if (form_) formTree_ = std::make_unique<TPDFForm>(Resolver(), *form_);
}

TPDFOptionalContent& TSmartPDFDocument::OptionalContent() {
  if (!optionalContent_) optionalContent_ = std::make_unique<TPDFOptionalContent>(catalogue_, Resolver());
  return *optionalContent_;
}

std::function<TPDFObject*(TPDFIndRef*)> TSmartPDFDocument::Resolver() {
  return [this](TPDFIndRef* ref) { return LoadObject(ref->RefObjNum); };
}

TSmartPDFDocument::~TSmartPDFDocument() = default;

void TSmartPDFDocument::PutOverlay(int32_t objNum, TPDFObject* obj) {
  for (auto& [num, o] : overlay_)
    if (num == objNum) {
      o = obj;
      return;
    }
  overlay_.emplace_back(objNum, obj);
}

TPDFObject* TSmartPDFDocument::LoadObject(int32_t objNum, TPDFStructure* pool) {
  for (const auto& [num, obj] : overlay_)
    if (num == objNum) return obj;
  return reader_.LoadObject(objNum, pool);
}

TPDFIndRef* TSmartPDFDocument::NewObject(TPDFObject* obj) {
  int32_t highest = std::max(reader_.HighestObjectNumber(), 0);
  for (const auto& entry : overlay_) highest = std::max(highest, entry.first);
  const int32_t num = highest + 1;
  overlay_.emplace_back(num, obj);
  return localPool_->NewIndRef(num, 0);
}

TPDFObject* TSmartPDFDocument::ResolveForRender(const TPDFIndRef* ref) {
  return ref ? reader_.LoadObject(ref->RefObjNum) : nullptr;
}

int32_t TSmartPDFDocument::GetPageCount() {
  if (!pages_) return 1;
  TPDFObject* count = pages_->GetValue("Count", false);
  if (auto* ref = As<TPDFIndRef>(count)) count = LoadObject(ref->RefObjNum);
  if (auto* n = As<TPDFNumeric>(count)) return n->AsInteger();
  return 1;
}

bool TSmartPDFDocument::IsPageRef(const TPDFObject* obj) {
  auto* ref = As<TPDFIndRef>(obj);
  if (!ref || ref->Owner() != localPool_.get()) return false;
  auto* dict = As<TPDFDictionary>(LoadObject(ref->RefObjNum));
  return dict && dict->GetTypeName() == "Page";
}

TPDFDictionary* TSmartPDFDocument::PageDictionary(const TPDFIndRef* ref) {
  return ref ? As<TPDFDictionary>(LoadObject(ref->RefObjNum)) : nullptr;
}

}  // namespace kestrel
