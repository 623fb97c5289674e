#include "engine/kestrel.h"

#include <fstream>
#include <sys/stat.h>

#include "engine/output/page_output.h"

namespace kestrel {

int32_t OpenProblemCode(const std::string& word) {
  if (word == "CouldNotOpen") return kErrorCouldNotOpen;
  if (word == "BadPassword") return kErrorBadPassword;
  if (word == "BadStructure") return kErrorBadStructure;
  if (word == "FileNotFound") return kErrorFileNotFound;
  return 0;
}

TSmartPDFLink::TSmartPDFLink(TByteView source, TByteView password) { Open(source, password); }

TSmartPDFLink::TSmartPDFLink(const std::string& fileName, bool readOnly, TByteView password)
    : readOnly_(readOnly) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) {
    openProblem_ = "FileNotFound";
    return;
  }
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    openProblem_ = "CouldNotOpen";
    return;
  }
  inputStream_ = std::make_unique<TBytes>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Open(*inputStream_, password);
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
    reader_.reset();
    return;
  }
  info_ = std::make_unique<TSmartPDFInfo>(*reader_, password);
  switch (info_->Encryption()) {
    case TSmartPDFInfo::TEncryption::Standard:
      okay_ = info_->CheckPassword();
      if (!okay_) openProblem_ = "BadPassword";
      break;
    case TSmartPDFInfo::TEncryption::None:
      okay_ = true;
      break;
    case TSmartPDFInfo::TEncryption::Unsupported:
      okay_ = false;
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
  auto link = std::make_unique<TSmartPDFLink>(stream, password);
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
  LastRenderProblem.clear();
  if (!IsValidHandle(handle)) return 0;
  TSmartPDFDocument* doc = handle->Document();
  if (!doc->IsPageRef(pageRef)) return 0;
  kestrel::RenderPageToStream(*doc, *As<TPDFIndRef>(pageRef), format, LastRenderProblem, out, RenderSettings,
                              JpegQuality, dpi * ResolutionFactor, handle->Fonts());
  return 1;
}

}  // namespace kestrel
