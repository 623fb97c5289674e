#pragma once
// The engine facade: open a PDF held in memory, count its pages, find and render them.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/access/document.h"
#include "engine/access/reader.h"
#include "engine/access/security_info.h"
#include "engine/fonts/font_collection.h"
#include "engine/graphics/raster_image.h"
#include "engine/output/byte_sink.h"
#include "engine/output/output_options.h"
#include "engine/render/render_settings.h"
#include "engine/syntax/file_bytes.h"

namespace kestrel {

// Open error codes left in TKestrel::LastErrorCode.
enum TOpenError : int32_t {
  kErrorCouldNotOpen = 401,
  kErrorBadPassword = 404,
  kErrorBadStructure = 409,
  kErrorFileNotFound = 411,
};

// Maps a problem word ("BadStructure", ...) to its code; 0 for an empty or unknown word.
int32_t OpenProblemCode(const std::string& word);

// One open document.
class TSmartPDFLink {
 public:
  // Opens a document held in memory; the caller keeps `source` alive while the link lives.
  TSmartPDFLink(TByteView source, TByteView password);
  TSmartPDFLink(TBytes&&, TByteView) = delete;  // the link keeps a view of the bytes
  // Opens a mapped file; the link keeps the mapping alive (several links may share one).
  TSmartPDFLink(std::shared_ptr<const TFileBytes> file, TByteView password);
  // Opens a file by name, mapping it.
  TSmartPDFLink(const std::string& fileName, bool readOnly, TByteView password);
  ~TSmartPDFLink();
  TSmartPDFLink(const TSmartPDFLink&) = delete;
  TSmartPDFLink& operator=(const TSmartPDFLink&) = delete;

  bool Okay() const { return okay_; }
  const std::string& OpenProblem() const { return openProblem_; }
  // Why the document could not be opened, in words ("no PDF header", ...); empty when it opened.
  const std::string& OpenProblemText() const { return openProblemText_; }
  // Whether the file opened by rebuilding its damaged cross-reference data, and what was wrong.
  bool Repaired() const { return reader_ && reader_->Repaired(); }
  std::string RepairReason() const { return Repaired() ? reader_->Damage() : std::string(); }
  TSmartPDFReader* Reader() const { return reader_.get(); }
  TSmartPDFInfo* Info() const { return info_.get(); }
  TSmartPDFDocument* Document() const { return document_.get(); }
  // The document's font cache: every page rendered through the link shares it.
  TPDFFontCollection* Fonts() const { return fonts_.get(); }

 private:
  void Open(TByteView source, TByteView password);

  // Destruction order: fonts, document, info, reader, then the mapped file.
  std::shared_ptr<const TFileBytes> file_;
  std::unique_ptr<TSmartPDFReader> reader_;
  std::unique_ptr<TSmartPDFInfo> info_;
  std::unique_ptr<TSmartPDFDocument> document_;
  std::unique_ptr<TPDFFontCollection> fonts_;
  bool okay_ = false;
  bool readOnly_ = true;
  std::string openProblem_;
  std::string openProblemText_;
};

class TKestrel {
 public:
  TKestrel();
  virtual ~TKestrel();
  TKestrel(const TKestrel&) = delete;
  TKestrel& operator=(const TKestrel&) = delete;

  TSmartPDFLink* OpenDocument(TByteView stream, TByteView password);
  TSmartPDFLink* OpenDocument(TBytes&&, TByteView) = delete;  // the caller keeps the bytes alive
  // Opens a mapped file (TFileBytes::Map); the handle shares the mapping.
  TSmartPDFLink* OpenDocument(std::shared_ptr<const TFileBytes> file, TByteView password);
  int32_t GetPageCount(const TSmartPDFLink* handle) const;
  TPDFIndRef* FindPage(const TSmartPDFLink* handle, int32_t pageNumber);
  // 1 when the page was rendered into `out`, 0 when the handle or page reference was refused.
  int32_t RenderPageToStream(const TSmartPDFLink* handle, const TPDFObject* pageRef, TBytes& out, int32_t dpi,
                             int32_t format);
  // The same written to `out` as the file is made (BMP and TIFF; the other formats once made).
  int32_t RenderPageToStream(const TSmartPDFLink* handle, const TPDFObject* pageRef, TByteSink& out, int32_t dpi,
                             int32_t format);
  // The page's pixels instead of a file: a new white bitmap with the page drawn on it at `dpi`
  // (fractions allowed, so that a page fits a given pixel size). Empty when the handle or page
  // reference is refused or no bitmap can be made; LastRenderProblem says why, and also names a
  // content error that left the bitmap partly drawn.
  std::optional<TRasterImage> RenderPageToBitmap(const TSmartPDFLink* handle, const TPDFObject* pageRef, double dpi);

  // Size of page `pageNumber` in points as it is shown (crop box, else media box, turned by
  // /Rotate); false when the page or its box cannot be found.
  bool PageSizeInPoints(const TSmartPDFLink* handle, int32_t pageNumber, double& width, double& height);

  int32_t LastErrorCode = 0;
  // The reason of the last failed open in words; empty after a successful one.
  std::string LastErrorText;
  std::string LastRenderProblem;
  TGDIPlusSettings RenderSettings;
  // Page box, pixel bounds to fit and annotations, for every page rendered.
  TPageView PageView;
  int32_t JpegQuality = 75;
  // Colours, transparency and encoder choices of the pages written.
  TOutputOptions Output;
  double ResolutionFactor = 1.0;

  bool IsValidHandle(const TSmartPDFLink* handle) const;

 private:
  // Keeps a link that opened and returns it; otherwise records why it failed and returns null.
  TSmartPDFLink* Keep(std::unique_ptr<TSmartPDFLink> link);
  std::vector<std::unique_ptr<TSmartPDFLink>> openHandles_;
};

// The class the front ends instantiate.
class TKestrel0725 final : public TKestrel {};

}  // namespace kestrel
