#pragma once
// TPDFRenderer: turns one page into a picture. It sizes the target from the page box,
// rotation and resolution, paints the background white, and interprets the page's content
// streams onto a canvas.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/access/interactive/optional_content.h"
#include "engine/fonts/font_collection.h"
#include "engine/images/image_collection.h"
#include "engine/graphics/canvas.h"
#include "engine/render/colour/colour_manager.h"
#include "engine/render/colour/colour_registry.h"
#include "engine/graphics/matrix.h"
#include "engine/graphics/postscript_canvas.h"
#include "engine/graphics/raster_image.h"
#include "engine/render/render_settings.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/interpreter/renderer_state.h"
#include "engine/syntax/decode_budget.h"
#include "engine/syntax/document_budget.h"
#include "engine/syntax/structure.h"

namespace kestrel {

// What the renderer draws into. The targets themselves are made by the page outputs, which
// draw through RenderPageOn (or RenderPageOnPostScript for EPS).
enum class TRenderTargetKind : std::uint8_t {
  Bitmap = 0,
  WindowsMetafile = 1,
  EnhancedMetafile = 2,
  EPS = 3,
  LibraryMetafile = 7,
};

// The page box, rotation and target size the renderer derives from a page and a resolution.
struct TPageGeometry {
  double Llx = 0, Lly = 0, Urx = 612, Ury = 792;  // normalised box
  double Width = 612, Height = 792;               // points, swapped for 90 and 270
  int Rotation = 0;                                // 0, 90, 180 or 270
  std::int64_t PixelWidth = 0, PixelHeight = 0;    // target size (ceiling of points × dpi / 72)
  TPDFMatrix PageMatrix;                           // user space to device pixels
};

class TPDFRenderer {
 public:
  // Given an indirect reference, the object it names (null when there is none).
  using TResolveCallback = std::function<TPDFObject*(TPDFIndRef*)>;

  TPDFRenderer();
  ~TPDFRenderer();
  TPDFRenderer(const TPDFRenderer&) = delete;
  TPDFRenderer& operator=(const TPDFRenderer&) = delete;

  // Set by the caller before rendering.
  double Resolution = 96;
  TPDFDictionary* PageDictionary = nullptr;
  // The page's object number (0 for a page that has none).
  std::int32_t PageObjectNumber() const { return PageDictionary && PageDictionary->IsIndirect ? PageDictionary->ObjNum : 0; }
  // Without a callback, references resolve through their own pool.
  TResolveCallback Resolver;
  TGDIPlusSettings Settings;
  // The page box shown, a pixel size to fit, and whether annotations are drawn.
  TPageView View;
  TRenderTargetKind TargetKind = TRenderTargetKind::Bitmap;
  // The document's font cache (borrowed). Without one the renderer keeps its own for the page.
  TPDFFontCollection* Fonts = nullptr;
  TPDFFontCollection& FontCache();
  // The document's optional content states (borrowed). Without them all content is visible.
  TPDFOptionalContent* OptionalContent = nullptr;
  // The document's interactive form (AcroForm), when it has one: its default resources and
  // NeedAppearances shape the appearances made for fields that lack them.
  TPDFDictionary* AcroForm = nullptr;
  // The document's output intents (the catalogue's OutputIntents): a CMYK destination profile
  // among them is the profile DeviceCMYK colours go through.
  TPDFObject* OutputIntents = nullptr;
  // Vector targets that cannot draw transparency (metafiles, EPS): the page drawn as pixels at the
  // same resolution, made when first asked for (null when it cannot be). A transparency group
  // or a form under a soft mask that the target cannot draw is put down as the piece of this
  // picture it covers, so that it looks as on the raster page.
  std::function<const TRasterImage*()> PagePicture;
  // Whether content governed by an /OC value (a group or membership dictionary) is shown.
  bool ContentVisible(TPDFObject* oc) { return !oc || !OptionalContent || OptionalContent->IsVisible(oc); }
  // Snap horizontal and vertical lines and rectangles to whole pixels (see
  // renderer_stroke_adjust.h). Off for canvases that are not pixels.
  bool StrokeAdjust = true;
  // Place glyph origins on the pixel grid as pdftoppm does (see renderer_ops_text.cpp). Off
  // for canvases that are not pixels.
  bool SnapGlyphOrigins = true;

  // The geometry a page target is made with for the page and resolution set.
  TPageGeometry PageGeometry();
  // The resolution at which the page fits View's pixel bounds; Resolution when it sets none.
  double FittedResolution();

  // Interprets the page onto a canvas the caller made, sized as PageGeometry() says (no
  // background is painted). A content error is kept in ErrorText(); what was drawn before it
  // stays on the canvas.
  void RenderPageOn(TPDFGenericCanvas& canvas);
  // The box of the page in the PostScript file (the bounding box to write): the page box,
  // or for a rotated page the turned box with its corner at the origin.
  static TDeviceBox PostScriptBox(const TPageGeometry& g);
  // Interprets the page onto a PostScript canvas the caller started with PostScriptBox: PDF
  // user space is the EPS space (not scaled; a rotated page is turned by a cm line of its own)
  // and the interpreter writes its lines.
  void RenderPageOnPostScript(TPDFPostScriptCanvas& eps);

  // Why the page is not (fully) drawn: the first content error, and the decoded-data limit
  // when the page reached it.
  std::string ErrorText() const;
  // Why the caller could not make a target for the page (replaces any error text).
  void SetErrorText(std::string text) { errorText_ = std::move(text); }

  // Interprets content onto the canvas: a page (holder is its dictionary), a form XObject
  // (holder is the stream, `streamRef` the reference it was reached by), or given content text
  // with the holder's resources (glyph procedures).
  void Interpret(TPDFGenericCanvas& canvas, TPDFObject* holder, const TByteView* text,
                 TPDFIndRef* streamRef);

  // An indirect reference resolved (through the callback when set); anything else unchanged.
  TPDFObject* ResolveObject(TPDFObject* obj);
  // The key's value (resolved) in the dictionary or, when absent, in its Parent chain.
  TPDFObject* LookupInherited(TPDFDictionary* dict, TByteView key);

  TPDFColorSpaces& ColorSpaces() { return colorSpaces_; }
  TPDFSimpleColorManager& ColorManager() { return colorManager_; }
  bool WantsPostScript() const { return TargetKind == TRenderTargetKind::EPS; }
  // The canvas the interpreter writes lines into: set while an EPS page renders.
  TPDFPostScriptCanvas* EPSTarget() { return WantsPostScript() ? eps_ : nullptr; }

  // Shared by nested interpretations (forms, glyph procedures, appearances).
  TPDFMatrix CTM;
  TPDFMatrix BasePageMatrix;
  // EPS target: the cm lines in force (see TPDFGraphicsState::EPSMatrix), starting with the
  // page's own (EPSBaseMatrix: the page's /Rotate turn), the page box in the EPS file's space,
  // and the pictures embedded so far (each gets its own name).
  TPDFMatrix EPSMatrix;
  TPDFMatrix EPSBaseMatrix;
  TDeviceBox EPSPageBox;
  std::size_t EPSPictures = 0;
  // EPS target: the page asked for transparency PostScript cannot show (an opacity below 1,
  // a blend mode, a soft mask); its lines then draw it opaque.
  bool TransparencyLeftOut = false;
  TPDFDictionary* InheritedResources = nullptr;
  // A form starts with its caller's state: set before Interpret, taken (and cleared) by it.
  std::optional<TPDFGraphicsState> SavedState;
  // The next interpretation ignores colour operators (an uncoloured pattern's cell).
  bool StartUncoloured = false;

  // Records an exception that ended an interpretation (the first one of the page is kept).
  void SetError(const std::string& message, std::size_t position);

  // Size of the target in device units (0 when unknown).
  double TargetWidth = 0;
  double TargetHeight = 0;
  // A page drawn in horizontal bands: RenderPageOn draws the BandHeight rows (0: the whole
  // page) from row BandTop down onto a canvas of that height.
  std::int64_t BandTop = 0;
  std::int64_t BandHeight = 0;

  // Tokens the page may still interpret (see renderer_limits.h); fuzzing sets fewer.
  std::size_t TokenBudget = limits::kMaxPageTokens;
  double ShadingPixelBudget = limits::kMaxPageShadingPixels;
  double EvaluationBudget = limits::kMaxPageFunctionEvaluations;

  // Nesting bookkeeping for form XObjects (see renderer_limits.h).
  int NestingDepth = 0;
  // Soft-mask layers open on the canvas; every interpretation closes those it opened.
  int OpenLayers = 0;
  std::size_t FormInvocations = 0;
  std::vector<const TPDFObject*> ActiveForms;
  // Type 3 glyph procedures running inside each other (a glyph that shows text).
  int Type3Depth = 0;

  // The annotation pass of a page: appearance streams fitted to their rectangles.
  void DrawAnnotations(TPDFGenericCanvas& canvas, TPDFDictionary& page, TPDFDictionary* resources);

  // Decoded images of the page, and the decoded bytes further images may still take.
  TPDFImageCollection Images;
  std::uint64_t ImageBudget = limits::kMaxPageImageBytes;
  // Why images of the page were left out (the first few).
  const std::vector<std::string>& ImageProblems() const { return imageProblems_; }
  void NoteImageProblem(std::string text) {
    AddPageNote(text);
    if (imageProblems_.size() < 16) imageProblems_.push_back(std::move(text));
  }

  // Decoded stream data, kept for the page so that a form drawn many times is decoded once.
  std::shared_ptr<const TBytes> DecodedContent(const TPDFStream& stream);
  // A stream's data decoded within the page's budget (limits::kMaxDecodedBytesPerPage); empty
  // for a stream the document budget knows was cut short on an earlier page.
  TBytes DecodeStream(const TPDFStream& stream);
  bool DecodeBudgetReached() const { return decodeBudget_.Exhausted(); }
  TDecodeBudget& PageDecodeBudget() { return decodeBudget_; }
  // One decoding of a stream against the page's decode budget, for decoders that charge it
  // themselves too. Skipped() when the document's budget knows the stream was cut short before
  // (the page notes it); otherwise the stream is the page's to decode until the scope ends, and
  // a decode that used up the budget is then remembered (TDocumentBudget::BeginDecode).
  class TStreamDecodeScope {
   public:
    TStreamDecodeScope(TPDFRenderer& r, const TPDFStream& stream);
    ~TStreamDecodeScope();
    TStreamDecodeScope(const TStreamDecodeScope&) = delete;
    TStreamDecodeScope& operator=(const TStreamDecodeScope&) = delete;
    bool Skipped() const { return skipped_; }

   private:
    TPDFRenderer& r_;
    std::int32_t objNum_ = 0;
    bool claimed_ = false;
    bool skipped_ = false;
    bool repeat_ = false;  // an earlier page decoded the stream in full (outermost decodings only)
    bool spentBefore_ = false;
    std::size_t leftBefore_ = 0;
  };

  // What the document's pages spend together (borrowed; none for a lone page). The page's
  // budgets above are taken from it when a page starts and charged to it when it ends.
  TDocumentBudget* DocumentBudget = nullptr;
  // Forms the page may draw: limits::kMaxFormInvocations, or less when the document has less.
  std::size_t FormInvocationLimit = limits::kMaxFormInvocations;
  // Whether another form may be drawn; notes why not when it may not.
  bool MayDrawForm();

  // What the page leaves out or draws otherwise than it says, one line per cause ("forms
  // nested deeper than ..."); each cause is noted once. ErrorText() ends with these lines.
  void AddPageNote(const std::string& text);

 private:
  friend class TPageBudgetScope;
  void DrawAnnotation(TPDFGenericCanvas& canvas, TPDFDictionary& annot, TPDFDictionary* resources);
  // An annotation without an appearance of its own, drawn from one made for it.
  void DrawGeneratedAppearance(TPDFGenericCanvas& canvas, TPDFDictionary& annot);
  // The destination profile of the first output intent that has one.
  TPDFObject* OutputProfile();

  std::string errorText_;
  TDecodeBudget decodeBudget_{limits::kMaxDecodedBytesPerPage};
  TPDFPostScriptCanvas* eps_ = nullptr;
  TPDFSimpleColorManager colorManager_;
  TPDFColorSpaces colorSpaces_;
  std::unordered_map<std::int64_t, TPDFObject*> resolved_;
  std::unordered_map<const TPDFStream*, std::shared_ptr<const TBytes>> contentCache_;
  std::size_t contentCacheBytes_ = 0;
  std::unique_ptr<TPDFFontCollection> ownFonts_;
  std::vector<std::string> imageProblems_;
  std::vector<std::string> leftOut_;
  // The page's decoded-bytes allowance, and whether the document's budget made it smaller
  // than the page limit.
  std::size_t decodeAllowance_ = limits::kMaxDecodedBytesPerPage;
  bool decodeLimitedByDocument_ = false;
  int streamsDecoding_ = 0;  // stream decodings of the page under way (nested ones never wait)
  std::size_t repeatDecodedBytes_ = 0;  // bytes of the page's decodings that repeat an earlier page's
};

// The error text of an exception at a content position (0-based offset of the next byte).
std::string RenderingExceptionText(const std::string& message, std::size_t offset);

}  // namespace kestrel
