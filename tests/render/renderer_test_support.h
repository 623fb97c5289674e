#pragma once
// A page built in memory from object texts, rendered by TPDFRenderer onto a recording canvas,
// so that tests see the canvas calls in device coordinates. At the default 72 dpi and a
// MediaBox [0 0 100 100], user point (x, y) lands on device point (x, 100 - y).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/output/page_targets.h"
#include "engine/render/renderer.h"
#include "support/recording_canvas.h"
#include "engine/syntax/structure.h"

namespace kestrel::testing {

class TRendererFixture {
 public:
  explicit TRendererFixture(bool recordState = true) : canvas(recordState) {
    pool.OnResolveRef = [this](TPDFIndRef*, int32_t num, int32_t) -> TPDFObject* {
      auto it = objects.find(num);
      return it == objects.end() ? nullptr : it->second;
    };
    renderer.Resolution = 72;
    renderer.StrokeAdjust = false;  // device coordinates as the content gives them
    renderer.SnapGlyphOrigins = false;
  }

  // Object `num` parsed from text.
  TPDFObject* Add(int num, const std::string& text) {
    TPDFObject* obj = pool.ParseObject(text);
    obj->MarkIndirect(num, 0);
    objects[num] = obj;
    return obj;
  }
  // Stream object `num` with a dictionary text and raw data.
  TPDFStream* AddStream(int num, const std::string& dict, const std::string& data) {
    auto* d = As<TPDFDictionary>(pool.ParseObject(dict));
    if (!d) d = pool.NewDictionary();
    TPDFStream* s = pool.NewStreamOf(d, data);
    s->MarkIndirect(num, 0);
    objects[num] = s;
    return s;
  }

  // Sets up the page with `content` and renders it onto the recording canvas.
  void Render(const std::string& content, const std::string& resources = "<< >>",
              const std::string& pageEntries = "/MediaBox [0 0 100 100]") {
    AddStream(900, "<< >>", content);
    Add(901, resources);
    renderer.PageDictionary = As<TPDFDictionary>(
        Add(PageObject, "<< /Type /Page " + pageEntries + " /Resources 901 0 R /Contents 900 0 R >>"));
    renderer.RenderPageOn(canvas);
  }
  int PageObject = 902;  // the number Render gives the page

  // Optional content as a catalogue of object texts sets it (`catalogue` is parsed).
  void UseOptionalContent(const std::string& catalogue) {
    optionalContent = std::make_unique<TPDFOptionalContent>(
        As<TPDFDictionary>(pool.ParseObject(catalogue)),
        [this](TPDFIndRef* ref) { return renderer.ResolveObject(ref); });
    renderer.OptionalContent = optionalContent.get();
  }

  // Renders the page onto a new page bitmap as the bitmap outputs do (see Bitmap()).
  bool RenderPage() { return RenderPageBitmap(renderer, bitmap); }
  const TRasterImage* Bitmap() const { return bitmap ? &*bitmap : nullptr; }

  const std::vector<std::string>& Lines() const { return canvas.Lines(); }
  bool Has(const std::string& line) const {
    return std::find(Lines().begin(), Lines().end(), line) != Lines().end();
  }
  std::size_t Count(const std::string& line) const {
    return static_cast<std::size_t>(std::count(Lines().begin(), Lines().end(), line));
  }
  // Lines that start with `prefix`, in order.
  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& l : Lines())
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }
  // The last line starting with `prefix` before the `nth` (0-based) line equal to `marker`.
  std::string LastBefore(const std::string& prefix, const std::string& marker, int nth = 0) const {
    std::string last;
    for (const std::string& l : Lines()) {
      if (l == marker && nth-- == 0) return last;
      if (l.rfind(prefix, 0) == 0) last = l;
    }
    return "(marker not found)";
  }

  TPDFStructure pool;
  std::map<int, TPDFObject*> objects;
  TPDFRenderer renderer;
  std::unique_ptr<TPDFOptionalContent> optionalContent;
  std::optional<TRasterImage> bitmap;
  TRecordingCanvas canvas;
};

}  // namespace kestrel::testing
