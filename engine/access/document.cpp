#include "engine/access/document.h"

#include <algorithm>

namespace kestrel {

TSmartPDFDocument::TSmartPDFDocument(TSmartPDFReader& reader)
    : reader_(reader), localPool_(std::make_unique<TPDFStructure>()), 
      budget_(std::make_shared<TDocumentBudget>(TDocumentBudget::ForFileSize(reader.Source().size()))) {
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
  if (pageCount_) return *pageCount_;
  int64_t declared = 0;
  if (pages_) {
    TPDFObject* count = pages_->GetValue("Count", false);
    if (auto* ref = As<TPDFIndRef>(count)) count = LoadObject(ref->RefObjNum);
    if (auto* n = As<TPDFNumeric>(count)) declared = n->AsInteger();
  }
  // A sound tree has its last page where its count says: one lookup checks that. Otherwise
  // (a count past the number of objects, a tree cut short by a truncated file) the pages the
  // tree really holds are counted, and the difference is noted once.
  const bool plausible = declared > 0 && declared <= int64_t{reader_.HighestObjectNumber()} + 1;
  if (plausible && LocatePage(static_cast<int32_t>(declared))) {
    pageCount_ = static_cast<int32_t>(declared);
    return *pageCount_;
  }
  const int64_t found = std::min<int64_t>(CountTreePages(), INT32_MAX);
  pageCount_ = static_cast<int32_t>(found);
  if (!pages_)
    pageCountNote_ = "the page tree cannot be found";
  else if (found != declared)
    pageCountNote_ = "the page tree holds " + std::to_string(found) + (found == 1 ? " page" : " pages") +
                     ", not the " + std::to_string(declared) + " its count declares";
  return *pageCount_;
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
