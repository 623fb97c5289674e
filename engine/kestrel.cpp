#include "engine/kestrel.h"

#include <cmath>

#include "engine/output/page_output.h"

namespace kestrel {

namespace {

// A page attribute, inherited from the page tree when the page lacks it (depth-bounded, so a
// /Parent loop ends).
TPDFObject* InheritedValue(TPDFDictionary* page, TByteView key) {
  for (int depth = 0; page && depth < 64; ++depth) {
    if (TPDFObject* value = page->GetValue(key)) return value;
    page = As<TPDFDictionary>(page->GetValue("Parent"));
  }
  return nullptr;
}

bool ReadBox(TPDFObject* obj, double box[4]) {
  auto* array = As<TPDFArray>(obj);
  if (!array || array->Count() < 4) return false;
  for (int i = 0; i < 4; ++i) {
    auto* n = As<TPDFNumeric>(array->ItemResolved(i));
    if (!n || !std::isfinite(n->Value)) return false;
    box[i] = n->Value;
  }
  return true;
}

// "object 12 0 R not found" for the objects a page named and the file does not hold.
std::string MissingObjectsText(const std::vector<std::pair<int32_t, int32_t>>& missing) {
  std::string text;
  for (const auto& [num, gen] : missing)
    text += (text.empty() ? "" : ", ") + std::to_string(num) + " " + std::to_string(gen) + " R";
  if (text.empty()) return text;
  return (missing.size() == 1 ? "object " : "objects ") + text + " not found";
}

}  // namespace

int32_t OpenProblemCode(const std::string& word) {
  if (word == "CouldNotOpen") return kErrorCouldNotOpen;
  if (word == "BadPassword") return kErrorBadPassword;
  if (word == "BadStructure") return kErrorBadStructure;
  if (word == "FileNotFound") return kErrorFileNotFound;
  return 0;
}

TSmartPDFLink::TSmartPDFLink(TByteView source, TByteView password) { Open(source, password); }

TSmartPDFLink::TSmartPDFLink(std::shared_ptr<const TFileBytes> file, TByteView password) : file_(std::move(file)) {
  if (file_) Open(file_->View(), password);
}

TSmartPDFLink::TSmartPDFLink(const std::string& fileName, bool readOnly, TByteView password)
    : readOnly_(readOnly) {
  TFileBytes::TFailure failure;
  file_ = TFileBytes::Map(fileName, failure, openProblemText_);
  if (!file_) {
    openProblem_ = failure == TFileBytes::TFailure::NotFound ? "FileNotFound" : "CouldNotOpen";
    return;
  }
  Open(file_->View(), password);
}

TSmartPDFLink::~TSmartPDFLink() {
  fonts_.reset();
  document_.reset();
  info_.reset();
  reader_.reset();
}

void TSmartPDFLink::Open(TByteView source, TByteView password) {
  reader_ = std::make_unique<TSmartPDFReader>(source);
  if (reader_->GetProblem() != TSmartPDFReader::kNoProblem) {
    openProblem_ = "BadStructure";
    openProblemText_ = reader_->GetProblem() == TSmartPDFReader::kNoHeader
                           ? "no PDF header"
                       : reader_->Damage().empty()
                           ? "no readable cross-reference table or trailer"
                           : reader_->Damage() + "; the scan found no catalogue";
    reader_.reset();
    return;
  }
  info_ = std::make_unique<TSmartPDFInfo>(*reader_, password);
  switch (info_->Encryption()) {
    case TSmartPDFInfo::TEncryption::Standard:
      okay_ = info_->CheckPassword();
      if (!okay_) {
        openProblem_ = "BadPassword";
        openProblemText_ = "wrong password";
      }
      break;
    case TSmartPDFInfo::TEncryption::None:
      okay_ = true;
      break;
    case TSmartPDFInfo::TEncryption::Unsupported:
      okay_ = false;
      openProblemText_ = "unsupported encryption (" + info_->Describe() + ")";
      break;
  }
  if (!okay_) {
    info_.reset();
    reader_.reset();
    return;
  }
  info_->UsePassword(password);
  document_ = std::make_unique<TSmartPDFDocument>(*reader_);
  document_->SetInfo(info_.get());
  fonts_ = std::make_unique<TPDFFontCollection>();
  fonts_->Resolver = [doc = document_.get()](TPDFIndRef* ref) { return doc->ResolveForRender(ref); };
}

TKestrel::TKestrel() = default;
TKestrel::~TKestrel() = default;

bool TKestrel::IsValidHandle(const TSmartPDFLink* handle) const {
  if (!handle) return false;
  for (const auto& h : openHandles_)
    if (h.get() == handle) return true;
  return false;
}

TSmartPDFLink* TKestrel::OpenDocument(TByteView stream, TByteView password) {
  return Keep(std::make_unique<TSmartPDFLink>(stream, password));
}

TSmartPDFLink* TKestrel::OpenDocument(std::shared_ptr<const TFileBytes> file, TByteView password) {
  return Keep(std::make_unique<TSmartPDFLink>(std::move(file), password));
}

TSmartPDFLink* TKestrel::Keep(std::unique_ptr<TSmartPDFLink> link) {
  LastErrorText = link->OpenProblemText();
  if (link->Okay()) {
    openHandles_.push_back(std::move(link));
    return openHandles_.back().get();
  }
  if (int32_t code = OpenProblemCode(link->OpenProblem())) LastErrorCode = code;
  return nullptr;
}

int32_t TKestrel::GetPageCount(const TSmartPDFLink* handle) const {
  if (!IsValidHandle(handle)) return 0;
  return handle->Document()->GetPageCount();
}

TPDFIndRef* TKestrel::FindPage(const TSmartPDFLink* handle, int32_t pageNumber) {
  if (!IsValidHandle(handle)) return nullptr;
  return handle->Document()->FindPage(pageNumber);
}

int32_t TKestrel::RenderPageToStream(const TSmartPDFLink* handle, const TPDFObject* pageRef, TBytes& out,
                                     int32_t dpi, int32_t format) {
  TBytesSink sink(out);
  return RenderPageToStream(handle, pageRef, sink, dpi, format);
}

int32_t TKestrel::RenderPageToStream(const TSmartPDFLink* handle, const TPDFObject* pageRef, TByteSink& out,
                                     int32_t dpi, int32_t format) {
  LastRenderProblem.clear();
  if (!IsValidHandle(handle)) return 0;
  TSmartPDFDocument* doc = handle->Document();
  if (!doc->IsPageRef(pageRef)) return 0;
  handle->Reader()->TakeMissingObjects();  // what earlier lookups missed is not this page's
  kestrel::RenderPageToStream(*doc, *As<TPDFIndRef>(pageRef), static_cast<TOutputFormat>(format),
                              LastRenderProblem, out, RenderSettings, JpegQuality,
                              dpi * ResolutionFactor, handle->Fonts(), PageView, Output);
  // Objects the page names that the file does not hold leave parts of it undrawn: say which.
  if (std::string missing = MissingObjectsText(handle->Reader()->TakeMissingObjects()); !missing.empty())
    LastRenderProblem += (LastRenderProblem.empty() ? "" : "; ") + missing;
  return 1;
}

std::optional<TRasterImage> TKestrel::RenderPageToBitmap(const TSmartPDFLink* handle, const TPDFObject* pageRef,
                                                         double dpi) {
  LastRenderProblem.clear();
  if (!IsValidHandle(handle) || !handle->Document()->IsPageRef(pageRef)) {
    LastRenderProblem = "the page reference was refused";
    return std::nullopt;
  }
  return RenderPageImage(*handle->Document(), *As<TPDFIndRef>(pageRef), LastRenderProblem, RenderSettings,
                         dpi * ResolutionFactor, handle->Fonts());
}

bool TKestrel::PageSizeInPoints(const TSmartPDFLink* handle, int32_t pageNumber, double& width, double& height) {
  TPDFIndRef* ref = FindPage(handle, pageNumber);
  TPDFDictionary* page = ref ? handle->Document()->PageDictionary(ref) : nullptr;
  double box[4];
  if (!page || !(ReadBox(InheritedValue(page, "CropBox"), box) || ReadBox(InheritedValue(page, "MediaBox"), box)))
    return false;
  width = std::abs(box[2] - box[0]);
  height = std::abs(box[3] - box[1]);
  // An empty box is drawn as US Letter.
  if (width == 0 || height == 0) width = 612, height = 792;
  if (auto* rotate = As<TPDFNumeric>(InheritedValue(page, "Rotate")); rotate && rotate->AsInteger() / 90 % 2 != 0)
    std::swap(width, height);
  return true;
}

}  // namespace kestrel
