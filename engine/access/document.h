#pragma once
// TSmartPDFDocument: the document-level view on a reader: catalogue, page tree, page lookup
// and the object loaders the renderer uses.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/access/interactive/form_fields.h"
#include "engine/access/interactive/optional_content.h"
#include "engine/access/interactive/page_annots.h"
#include "engine/access/page_tree_cache.h"
#include "engine/access/reader.h"
#include "engine/syntax/document_budget.h"

namespace kestrel {

class TSmartPDFInfo;

class TSmartPDFDocument {
 public:
  explicit TSmartPDFDocument(TSmartPDFReader& reader);
  ~TSmartPDFDocument();
  TSmartPDFDocument(const TSmartPDFDocument&) = delete;
  TSmartPDFDocument& operator=(const TSmartPDFDocument&) = delete;

  // The pages the document holds: the page tree's count when its last page is where the count
  // says, else the pages the tree really holds (0 when there is no page tree).
  int32_t GetPageCount();
  // Why GetPageCount differs from the count the file declares ("the page tree holds 3 pages,
  // not the 2147483647 its count declares"); empty when it does not.
  const std::string& PageCountNote() const { return pageCountNote_; }
  // A new reference in the local pool naming page `pageNumber` (1-based), or null. The page
  // found is the selected one: Annots() holds its annotation array.
  TPDFIndRef* FindPage(int32_t pageNumber);
  bool IsPageRef(const TPDFObject* obj);
  TPDFDictionary* PageDictionary(const TPDFIndRef* ref);
  TPDFObject* LoadObject(int32_t objNum, TPDFStructure* pool = nullptr);
  // Registers an object under a new number and returns a reference to it.
  TPDFIndRef* NewObject(TPDFObject* obj);
  // The object a reference names, through the reader's cache (the overlay is not consulted).
  TPDFObject* ResolveForRender(const TPDFIndRef* ref);

  TSmartPDFReader& Reader() { return reader_; }
  TPDFStructure& LocalPool() { return *localPool_; }
  TPDFDictionary* Catalogue() const { return catalogue_; }
  TPDFDictionary* InfoDictionary() const { return info_; }
  TPDFDictionary* FormDictionary() const { return form_; }
  // The interactive form's field tree, read when the document is opened (null without a form).
  TPDFForm* Form() const { return formTree_.get(); }
  TPDFAnnots& Annots() { return annots_; }
  // Which optional content is shown, worked out on first use and kept for the document.
  TPDFOptionalContent& OptionalContent();
  void SetInfo(TSmartPDFInfo* info) { infoObject_ = info; }
  // What the document's pages may spend together (every page rendered from it shares it).
  TDocumentBudget& Budget() { return *budget_; }
  // Other handles on the same file share the budget, so that drawing its pages on several
  // threads costs what drawing them on one does: hand this to their ShareBudget before they
  // draw a page.
  const std::shared_ptr<TDocumentBudget>& SharedBudget() const { return budget_; }
  void ShareBudget(std::shared_ptr<TDocumentBudget> budget) {
    if (budget) budget_ = std::move(budget);
  }
  TSmartPDFInfo* Info() const { return infoObject_; }

 private:
  void PutOverlay(int32_t objNum, TPDFObject* obj);
  TPDFIndRef* LocatePage(int32_t pageNumber);
  // The pages reachable through the page tree, each node visited once.
  int64_t CountTreePages();
  // References resolved through the overlay and the reader's cache.
  std::function<TPDFObject*(TPDFIndRef*)> Resolver();

  TSmartPDFReader& reader_;
  std::unique_ptr<TPDFStructure> localPool_;
  TPDFIndRef* catalogueRef_ = nullptr;
  TPDFDictionary* catalogue_ = nullptr;
  TPDFIndRef* infoRef_ = nullptr;
  TPDFDictionary* info_ = nullptr;
  TPDFIndRef* pagesRef_ = nullptr;
  TPDFDictionary* pages_ = nullptr;
  TPDFIndRef* formRef_ = nullptr;
  TPDFDictionary* form_ = nullptr;
  std::vector<std::pair<int32_t, TPDFObject*>> overlay_;
  std::unique_ptr<TPageTreeCache> pageTree_ = std::make_unique<TPageTreeCache>();
  std::unique_ptr<TPDFForm> formTree_;
  TPDFAnnots annots_;
  std::unique_ptr<TPDFOptionalContent> optionalContent_;
  TSmartPDFInfo* infoObject_ = nullptr;
  std::shared_ptr<TDocumentBudget> budget_;
  std::optional<int32_t> pageCount_;
  std::string pageCountNote_;
};

}  // namespace kestrel
