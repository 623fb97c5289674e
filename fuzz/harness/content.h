#pragma once
// Fuzz harness for the content-stream interpreter, shared by fuzz_content and the seed-replay
// test: the input is the content of a small page whose resources offer a form that draws the
// same bytes again (and itself), colour spaces with tint transforms, Default spaces and a CMYK
// output intent, ExtGStates (soft masks too), optional content, and annotations and form fields
// without appearances (some of their values are the bytes read as one object). The page is interpreted onto
// a recording canvas, onto a small raster and as EPS.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "engine/output/page_targets.h"
#include "support/recording_canvas.h"
#include "engine/render/renderer.h"
#include "engine/syntax/structure.h"

namespace fuzzharness {

inline void Content(const uint8_t* data, size_t size) {
  using namespace kestrel;
  TPDFStructure pool;
  std::map<int, TPDFObject*> objects;
  pool.OnResolveRef = [&objects](TPDFIndRef*, int32_t num, int32_t) -> TPDFObject* {
    auto it = objects.find(num);
    return it == objects.end() ? nullptr : it->second;
  };
  auto add = [&](int num, TPDFObject* obj) {
    obj->MarkIndirect(num, 0);
    objects[num] = obj;
    return obj;
  };
  const std::string content(reinterpret_cast<const char*>(data), size);
  add(1, pool.ParseObject(
             "<< /XObject << /Fm 2 0 R /Grp 14 0 R /Ko 16 0 R >> "
             "/ColorSpace << /Sep [/Separation /S /DeviceCMYK 3 0 R] "
             "/Div [/Separation /D /DeviceGray 4 0 R] "
             "/DN [/DeviceN [/A /B] /DeviceRGB 4 0 R] "
             "/Idx [/Indexed /DeviceRGB 2 <FF0000 00FF00 0000FF>] "
             "/Lab [/Lab << /WhitePoint [0.9642 1 0.8249] >>] /P [/Pattern /DeviceGray] /PS [/Pattern /DeviceRGB] "
             "/CG [/CalGray << /WhitePoint [0.9505 1 1.089] /Gamma 2.2 >>] "
             "/CR [/CalRGB << /WhitePoint [0.9505 1 1.089] /Gamma [1.8 2 2.2] "
             "/Matrix [0.41 0.21 0.02 0.36 0.72 0.12 0.18 0.07 0.95] >>] /ICC [/ICCBased 13 0 R] "
             "/DefaultRGB [/ICCBased 13 0 R] /DefaultGray [/CalGray << /WhitePoint [1 1 1] >>] "
             "/DefaultCMYK /DeviceRGB >> "
             "/ExtGState << /G << /LW 2 /LC 1 /CA 0.5 /ca 0.25 /D [[3 1] 1] >> "
             "/SL << /SMask << /S /Luminosity /G 2 0 R /BC [0.5] /TR 4 0 R >> >> "
             "/SA << /SMask << /S /Alpha /G 2 0 R >> >> /SN << /SMask /None >> "
             "/SI << /SMask << /S /Luminosity /G 14 0 R /BC [0.2 0.4 0.6] >> /AIS true /ca 0.5 >> "
             "/BM << /BM /Multiply /ca 0.5 >> /BL << /BM [/Foo /Luminosity] >> /BD << /BM /Difference >> "
             "/BC << /BM /Color /ca 0 /RI /Perceptual >> /RA << /RI /AbsoluteColorimetric >> >> "
             "/Properties << /oc << /Usage << /View << /ViewState /OFF >> >> >> >> "
             "/Shading << /Ax << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 40 10] "
             "/Extend [true false] /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] "
             "/C1 [0 0 1] >> >> /Rad << /ShadingType 3 /ColorSpace /Sep /Coords [20 20 0 25 20 15] "
             "/Function 4 0 R /Extend [true true] >> /Fn << /ShadingType 1 /ColorSpace /DeviceGray "
             "/Matrix [30 0 0 20 0 0] /Function 4 0 R >> /Patches 11 0 R /Tri 12 0 R >> "
             "/Pattern << /Sh << /PatternType 2 /Shading << /ShadingType 2 /ColorSpace /DeviceGray "
             "/Coords [0 0 9 9] /Function << /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] >> >> >> "
             "/Tile 7 0 R /Un 8 0 R >> >>"));
  auto* formDict = As<TPDFDictionary>(
      pool.ParseObject("<< /Subtype /Form /BBox [0 0 40 30] /Matrix [0.5 0 0 0.5 3 4] "
                       "/Resources 1 0 R >>"));
  add(2, pool.NewStreamOf(formDict, content));
  add(3, pool.ParseObject("<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0.5 1 0] >>"));
  // A calculator that divides: some tints end the interpretation with an exception.
  auto* calc = As<TPDFDictionary>(
      pool.ParseObject("<< /FunctionType 4 /Domain [-10 10 -10 10] /Range [0 1 0 1 0 1] >>"));
  add(4, pool.NewStreamOf(calc, "{ 1 exch div exch 0.5 mul 0 }"));
  auto* contentDict = pool.NewDictionary();
  add(5, pool.NewStreamOf(contentDict, content));
  // Tiling patterns whose cells are the same bytes again: coloured and uncoloured.
  auto* tile = As<TPDFDictionary>(pool.ParseObject(
      "<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 12 9] /XStep 12 /YStep 9 "
      "/Matrix [1 0.2 0 1 2 3] /Resources 1 0 R >>"));
  add(7, pool.NewStreamOf(tile, content));
  auto* uncoloured = As<TPDFDictionary>(pool.ParseObject(
      "<< /PatternType 1 /PaintType 2 /TilingType 1 /BBox [0 0 20 20] /XStep 20 /YStep 20 "
      "/Resources 1 0 R >>"));
  add(8, pool.NewStreamOf(uncoloured, content));
  // An annotation whose appearance is the content again.
  auto* appearance = As<TPDFDictionary>(pool.ParseObject(
      "<< /BBox [0 0 30 20] /Matrix [0 1 -1 0 0 0] /Resources 1 0 R >>"));
  add(9, pool.NewStreamOf(appearance, content));
  add(10, pool.ParseObject("<< /Type /Annot /Rect [5 5 40 30] /AP << /N 9 0 R >> >>"));
  // Mesh shadings whose vertex data are the same bytes.
  auto* patches = As<TPDFDictionary>(pool.ParseObject(
      "<< /ShadingType 7 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 4 "
      "/BitsPerFlag 2 /Decode [-10 70 -10 60 0 1] /Function 4 0 R >>"));
  add(11, pool.NewStreamOf(patches, content));
  auto* triangles = As<TPDFDictionary>(pool.ParseObject(
      "<< /ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 16 /BitsPerComponent 8 "
      "/BitsPerFlag 8 /Decode [0 64 0 48 0 1 0 1 0 1] >>"));
  add(12, pool.NewStreamOf(triangles, content));
  // The bytes as an ICC profile, and a knockout transparency group in it that draws them.
  add(13, pool.NewStreamOf(As<TPDFDictionary>(pool.ParseObject("<< /N 3 >>")), content));
  auto* group = As<TPDFDictionary>(pool.ParseObject(
      "<< /Subtype /Form /BBox [0 0 50 40] /Resources 1 0 R "
      "/Group << /S /Transparency /I true /K true /CS [/ICCBased 13 0 R] >> >>"));
  add(14, pool.NewStreamOf(group, content));
  // A non-isolated knockout group, drawn in Color mode.
  auto* knockout = As<TPDFDictionary>(pool.ParseObject(
      "<< /Subtype /Form /BBox [0 0 50 40] /Resources 1 0 R "
      "/Group << /S /Transparency /K true >> >>"));
  add(16, pool.NewStreamOf(knockout, content));
  // The bytes as the CMYK profile of an output intent.
  add(17, pool.NewStreamOf(As<TPDFDictionary>(pool.ParseObject("<< /N 4 >>")), content));
  add(18, pool.ParseObject("[<< /S /GTS_PDFX /DestOutputProfile 17 0 R >>]"));
  // Annotations without appearances, whose appearances are made.
  add(15, pool.ParseObject(
              "[<< /Subtype /Square /Rect [1 1 30 20] /C [1 0 0] /IC [0 1 0] /BS << /W 3 /S /D >> >> "
              "<< /Subtype /Ink /Rect [0 0 60 40] /InkList [[1 2 30 40 50 3] [5 5]] /C [0 0 1] /CA 0.5 >> "
              "<< /Subtype /Highlight /Rect [0 0 60 40] /QuadPoints [1 20 50 20 1 5 50 5] /C [1 1 0] >> "
              "<< /Subtype /Squiggly /Rect [0 0 60 40] /QuadPoints [1 20 50 20 1 5 50 5] /C [1 0 0] >> "
              "<< /Subtype /Widget /FT /Tx /Ff 4096 /Rect [2 2 60 30] /V <FEFF00410042> /DA (/Helv 0 Tf 1 0 0 rg) /Q 1 >> "
              "<< /Subtype /Widget /FT /Btn /Rect [2 2 20 20] /AS /On /MK << /CA (8) /BC [0] >> >> "
              "<< /Subtype /FreeText /Rect [0 0 60 40] /Contents (Free \\(text\\) here) /DA (/X 9 Tf) >> "
              "<< /Subtype /Text /Rect [0 20 20 40] >> 10 0 R "
              // Fields and markup whose values are the bytes read as one object.
              "<< /Subtype /Widget /FT /Tx /Ff 16777216 /MaxLen 5 /Rect [2 2 60 30] /V 19 0 R /DA 19 0 R >> "
              "<< /Subtype /Widget /FT /Ch /Rect [2 2 60 40] /Opt 19 0 R /V 19 0 R /TI 1 /DA (/Helv 7 Tf 0 g) >> "
              "<< /Subtype /Widget /FT /Btn /Ff 65536 /Rect [2 2 60 20] /MK << /CA 19 0 R /BG [1] /BC [0 0 1] >> "
              "/BS << /W 2 >> >> "
              "<< /Subtype /Widget /FT /Btn /Ff 49152 /Rect [2 2 20 20] /AS /On /V 19 0 R /BS << /W 1 >> /MK << /BC [0] >> >> "
              "<< /Subtype /Line /Rect [0 0 60 40] /L [1 1 50 30] /LE 19 0 R /C [0] /Border [0 0 2 [2 1]] >> "
              "<< /Subtype /PolyLine /Rect [0 0 60 40] /Vertices 19 0 R /LE [/Circle /ClosedArrow] /C [0] >> "
              "<< /Subtype /Link /Rect [1 1 30 20] /Border 19 0 R /AP << /N 9 0 R >> >> "
              "<< /Subtype /Text /Rect [0 20 20 40] /Name /Comment /C [1 0 0] >>]"));
  if (TPDFObject* value = pool.ParseObject(content)) add(19, value);
  // A form that asks for field appearances anew, with a font whose widths are the bytes too.
  auto* acroForm = As<TPDFDictionary>(add(20, pool.ParseObject(
      "<< /NeedAppearances true /DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv << /Type /Font /Subtype /Type1 "
      "/BaseFont /Helvetica /FirstChar 32 /Widths 19 0 R >> >> >> >>")));
  add(6, pool.ParseObject("<< /Type /Page /MediaBox [0 0 64 48] /Resources 1 0 R "
                          "/Contents 5 0 R /Annots 15 0 R >>"));

  // Fewer tokens than a real page may use, so that each input is quick.
  constexpr std::size_t kBudget = 100'000;
  TPDFRenderer recorder;
  recorder.TokenBudget = kBudget;
  recorder.ShadingPixelBudget = 50'000;
  recorder.EvaluationBudget = 20'000;
  recorder.Resolution = 72;
  recorder.PageDictionary = As<TPDFDictionary>(objects[6]);
  recorder.AcroForm = acroForm;
  // Groups the recording canvas cannot draw are cut from a page picture.
  std::optional<TRasterImage> picture = TRasterImage::Create(64, 48, 72);
  recorder.PagePicture = [&picture]() { return picture ? &*picture : nullptr; };
  TRecordingCanvas canvas(true, 20000);
  recorder.RenderPageOn(canvas);

  TPDFRenderer painter;
  painter.TokenBudget = kBudget;
  painter.ShadingPixelBudget = 50'000;
  painter.EvaluationBudget = 20'000;
  painter.Resolution = 36;
  painter.PageDictionary = As<TPDFDictionary>(objects[6]);
  painter.OutputIntents = objects[18];
  painter.AcroForm = acroForm;
  std::optional<TRasterImage> bitmap;
  RenderPageBitmap(painter, bitmap);

  TPDFRenderer eps;
  eps.TokenBudget = kBudget;
  eps.ShadingPixelBudget = 50'000;
  eps.EvaluationBudget = 20'000;
  eps.PageDictionary = As<TPDFDictionary>(objects[6]);
  // Pages with transparency are written as the page picture.
  eps.Resolution = 72;
  eps.PagePicture = recorder.PagePicture;
  TBytes file;
  RenderPageEPS(eps)->WriteTo(file);
}

}  // namespace fuzzharness
