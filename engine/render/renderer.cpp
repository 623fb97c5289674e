#include "engine/render/renderer.h"

#include <algorithm>

#include "engine/render/function/function.h"
#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/renderer_limits.h"
#include "engine/access/access_limits.h"
#include "engine/syntax/limits.h"

namespace kestrel {

std::string RenderingExceptionText(const std::string& message, std::size_t offset) {
  return "Rendering exception: " + message + "\r\nToken position " + std::to_string(offset + 1);
}

TPDFRenderer::TPDFRenderer()
    : colorSpaces_(colorManager_, [this](TPDFObject* obj) { return ResolveObject(obj); }) {}

TPDFRenderer::~TPDFRenderer() = default;

TPDFFontCollection& TPDFRenderer::FontCache() {
  if (Fonts) return *Fonts;
  if (!ownFonts_) {
    ownFonts_ = std::make_unique<TPDFFontCollection>();
    ownFonts_->Resolver = [this](TPDFIndRef* ref) { return ResolveObject(ref); };
  }
  return *ownFonts_;
}

TPDFObject* TPDFRenderer::ResolveObject(TPDFObject* obj) {
  auto* ref = As<TPDFIndRef>(obj);
  if (!ref) return obj;
  // Resolutions are remembered for the page: the reader's cache is small, and every reload
  // would parse the object again into its pool.
  const std::int64_t key = (std::int64_t{ref->RefObjNum} << 32) | std::uint32_t(ref->RefGenNum);
  if (auto it = resolved_.find(key); it != resolved_.end()) return it->second;
  TPDFObject* target = Resolver ? Resolver(ref) : ref->Resolve();
  // A reference to a reference is not followed further.
  if (As<TPDFIndRef>(target)) target = nullptr;
  resolved_.emplace(key, target);
  return target;
}

TPDFObject* TPDFRenderer::LookupInherited(TPDFDictionary* dict, TByteView key) {
  // Parent chains are short; a cycle is cut at the page tree's depth limit.
  for (int depth = 0; dict && depth <= limits::kMaxPageTreeDepth; ++depth) {
    if (TPDFObject* value = dict->GetValue(key, false)) return ResolveObject(value);
    dict = As<TPDFDictionary>(ResolveObject(dict->GetValue("Parent", false)));
  }
  return nullptr;
}

std::string TPDFRenderer::ErrorText() const {
  std::string text = errorText_;
  auto line = [&text](const std::string& more) {
    if (!text.empty()) text += "\n";
    text += more;
  };
  if (decodeBudget_.Exhausted()) {
    line(decodeLimitedByDocument_ ? "the document's streams decode to more than its budget allows: the page is "
                                   "drawn from what fit"
                                 : "the page's streams decode to more than " +
                                       std::to_string(limits::kMaxDecodedBytesPerPage >> 20) +
                                       " MiB: the page is drawn from what fit");
  }
  for (const std::string& note : leftOut_) line(note);
  return text;
}

void TPDFRenderer::AddPageNote(const std::string& text) {
  if (leftOut_.size() < 16 && std::find(leftOut_.begin(), leftOut_.end(), text) == leftOut_.end())
    leftOut_.push_back(text);
}

bool TPDFRenderer::MayDrawForm() {
  if (NestingDepth >= limits::kMaxFormDepth) {
    AddPageNote("forms nested deeper than " + std::to_string(limits::kMaxFormDepth) + " levels were left out");
    return false;
  }
  if (FormInvocations >= FormInvocationLimit) {
    AddPageNote(FormInvocationLimit < limits::kMaxFormInvocations
                    ? "the document has drawn as many forms as its budget allows: the page's other forms were "
                      "left out"
                    : "the page draws more than " + std::to_string(limits::kMaxFormInvocations) +
                          " forms: the others were left out");
    return false;
  }
  return true;
}

TPDFRenderer::TStreamDecodeScope::TStreamDecodeScope(TPDFRenderer& r, const TPDFStream& stream)
    : r_(r), objNum_(stream.ObjNum), spentBefore_(r.decodeBudget_.Exhausted()), leftBefore_(r.decodeBudget_.Left()) {
  if (!r_.DocumentBudget || !stream.IsIndirect) return;
  std::int32_t cutOnPage = 0;
  if (!r_.DocumentBudget->BeginDecode(objNum_, r_.streamsDecoding_ == 0, cutOnPage)) {
    skipped_ = true;
    // Pages drawn at once find it in any order; a page drawn in bands finds it on its first.
    const bool thisPage = cutOnPage != 0 && cutOnPage == r_.PageObjectNumber();
    r_.AddPageNote("stream " + std::to_string(objNum_) +
                   " was left out: it decodes to more than the page budget allows, as " +
                   (thisPage ? "an earlier band of the page" : "another page") + " found");
    return;
  }
  claimed_ = true;
  repeat_ = r_.streamsDecoding_ == 0 && r_.DocumentBudget->DecodedBefore(objNum_);
  ++r_.streamsDecoding_;
}

TPDFRenderer::TStreamDecodeScope::~TStreamDecodeScope() {
  if (!claimed_) return;
  --r_.streamsDecoding_;
  const std::size_t decoded = leftBefore_ - std::min(leftBefore_, r_.decodeBudget_.Left());
  if (repeat_ && decoded <= limits::kMaxRepeatDecodeBytes) r_.repeatDecodedBytes_ += decoded;
  // Only a stream that took half or more of the page's allowance is remembered: one that merely
  // tipped a nearly spent budget is decoded again on the next page.
  const bool cut =
      !spentBefore_ && r_.decodeBudget_.Exhausted() && leftBefore_ >= r_.decodeAllowance_ / 2;
  r_.DocumentBudget->EndDecode(objNum_, cut, r_.PageObjectNumber());
}

TBytes TPDFRenderer::DecodeStream(const TPDFStream& stream) {
  const TStreamDecodeScope scope(*this, stream);
  if (scope.Skipped()) return {};
  return stream.Decode(&decodeBudget_);
}

void TPDFRenderer::SetError(const std::string& message, std::size_t position) {
  // The first failure of the page is the one reported; later nested ones do not hide it.
  if (errorText_.empty()) errorText_ = RenderingExceptionText(message, position);
}

std::shared_ptr<const TBytes> TPDFRenderer::DecodedContent(const TPDFStream& stream) {
  if (auto it = contentCache_.find(&stream); it != contentCache_.end()) return it->second;
  auto data = std::make_shared<const TBytes>(DecodeStream(stream));
  if (data->size() > limits::kMaxContentCacheBytes) return data;
  if (contentCacheBytes_ + data->size() > limits::kMaxContentCacheBytes) {
    // Interpretations still running hold their own share of what is dropped here.
    contentCache_.clear();
    contentCacheBytes_ = 0;
  }
  contentCache_.emplace(&stream, data);
  contentCacheBytes_ += data->size();
  return data;
}

namespace {

TPDFDictionary* AsDict(TPDFObject* obj) { return As<TPDFDictionary>(obj); }

}  // namespace

TPDFObject* TPDFRenderer::OutputProfile() {
  auto* intents = As<TPDFArray>(ResolveObject(OutputIntents));
  for (int i = 0; intents && i < intents->Count() && i < 16; ++i) {
    auto* intent = As<TPDFDictionary>(ResolveObject(intents->Item(i)));
    if (TPDFObject* profile = intent ? intent->GetValue("DestOutputProfile", false) : nullptr)
      return profile;
  }
  return nullptr;
}

void TPDFRenderer::Interpret(TPDFGenericCanvas& canvas, TPDFObject* holder,
                             const TByteView* text, TPDFIndRef* streamRef) {
  (void)streamRef;
  auto* dict = As<TPDFDictionary>(holder);
  auto* stream = As<TPDFStream>(holder);

  TPDFDictionary* resources = nullptr;
  if (dict && text) {
    resources = AsDict(ResolveObject(dict->GetValue("Resources", false)));
    if (!resources) resources = InheritedResources;
  } else if (dict) {
    resources = AsDict(LookupInherited(dict, "Resources"));
  } else if (stream) {
    resources = AsDict(LookupInherited(stream->Dictionary(), "Resources"));
    if (!resources) {
      const TBytes type = stream->Dictionary()->GetNameValue("Type");
      if (type.empty() || type == "XObject") resources = InheritedResources;
    }
  }

  std::shared_ptr<const TBytes> owned;
  TByteView content;
  if (text) {
    content = *text;
  } else if (dict) {
    TPDFObject* contents = ResolveObject(dict->GetValue("Contents", false));
    if (auto* s = As<TPDFStream>(contents)) {
      owned = std::make_shared<const TBytes>(DecodeStream(*s));
    } else if (auto* array = As<TPDFArray>(contents)) {
      // The parts are joined with a line break: a part may end in the middle of nothing, but
      // its last token must not run into the next part's first one.
      auto joined = std::make_shared<TBytes>();
      for (int i = 0; i < array->Count(); ++i) {
        if (auto* part = As<TPDFStream>(ResolveObject(array->Item(i)))) {
          TBytes decoded = DecodeStream(*part);
          // The first part is taken over, not copied: a part can be hundreds of megabytes.
          if (joined->empty()) {
            *joined = std::move(decoded);
          } else {
            joined->push_back('\n');
            *joined += decoded;
          }
          if (joined->size() > limits::kMaxDecodedStreamBytes || DecodeBudgetReached()) break;
        }
      }
      owned = std::move(joined);
    }
    if (owned) content = *owned;
  } else if (stream) {
    owned = DecodedContent(*stream);
    content = *owned;
  }

  const bool page = dict && !text && NestingDepth == 0;
  // The page's own state (its top-level cm lines, colours, line settings, a clip it never
  // closed) must not reach the annotations: in PostScript the content runs inside q … Q.
  TPDFGenericCanvas* clipOwner = page ? EPSTarget() : nullptr;
  if (page && !clipOwner && dict->GetValue("Annots", false)) clipOwner = &canvas;
  const TClipHandle pageLevel = clipOwner ? clipOwner->SaveClip() : 0;
  if (page) ColorSpaces().SetDefaults(resources, OutputProfile());
  const int layersBefore = OpenLayers;
  // Blend modes mix with what lies below, and below the page's content lies nothing: a page
  // that blends is drawn on a transparent layer first and put down on the paper at the end.
  if (page && !EPSTarget() && UsesBlendModes(*this, resources, limits::kBlendScanFormDepth) &&
      canvas.BeginGroup(true, false)) {
    ++OpenLayers;
  }
  {
    TContentInterpreter interpreter(*this, canvas, content, resources);
    try {
      interpreter.Run();
    } catch (const TPDFFunctionError& e) {
      SetError(e.Message ? e.Message : "function error", interpreter.Offset());
    } catch (const std::exception& e) {
      SetError(e.what(), interpreter.Offset());
    }
  }
  for (; OpenLayers > layersBefore; --OpenLayers) canvas.EndLayer();
  if (clipOwner) clipOwner->RestoreClip(pageLevel);
  // A page whose content failed gets no annotations.
  if (page && errorText_.empty()) DrawAnnotations(canvas, *dict, resources);
}

}  // namespace kestrel
