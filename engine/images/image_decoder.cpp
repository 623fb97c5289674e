#include "engine/images/image_decoder.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/images/dct_decoder.h"
#include "engine/images/fax/ccitt_samples.h"
#include "engine/images/image_samples.h"
#include "engine/images/jbig2/jbig2_decoder.h"
#include "engine/images/jpx_decoder.h"
#include "engine/syntax/stream_reader.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

using TCodec = TPDFImageDecoder::TCodec;

TCodec CodecOf(TByteView name) {
  if (name == "DCTDecode" || name == "DCT") return TCodec::DCT;
  if (name == "JPXDecode") return TCodec::JPX;
  if (name == "CCITTFaxDecode" || name == "CCF") return TCodec::CCITT;
  if (name == "JBIG2Decode") return TCodec::JBIG2;
  return TCodec::None;
}

int NumberOr(TPDFObject* obj, int fallback) {
  auto* n = As<TPDFNumeric>(obj);
  return n ? n->AsInteger() : fallback;
}

// The device space for a codec image without a usable ColorSpace of its own.
const char* DeviceNameFor(int components) {
  return components == 4 ? "DeviceCMYK" : components == 3 ? "DeviceRGB" : "DeviceGray";
}

// Component `index` of a codec image's interleaved samples as a plane of its own.
TImagePlane ExtractChannel(const TDecodedImage& image, int index) {
  TImagePlane plane;
  plane.Width = image.Width;
  plane.Height = image.Height;
  plane.Channels = 1;
  const auto count = std::size_t(image.Width) * std::size_t(image.Height);
  plane.Data.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    plane.Data[i] = image.Pixels[i * std::size_t(image.Components) + std::size_t(index)];
  return plane;
}

// The first `keep` of every pixel's components.
TBytes DropTrailingChannels(const TDecodedImage& image, int keep) {
  const auto count = std::size_t(image.Width) * std::size_t(image.Height);
  TBytes out(count * std::size_t(keep), '\0');
  for (std::size_t i = 0; i < count; ++i)
    std::copy_n(image.Pixels.data() + i * std::size_t(image.Components), keep,
                out.data() + i * std::size_t(keep));
  return out;
}

// Rows of `rowBytes` read from a source as it decodes.
TSampleRows RowsFrom(std::shared_ptr<TByteSource> source, std::size_t rowBytes) {
  return [source = std::move(source), rowBytes](std::uint8_t* row) {
    return source->Read({reinterpret_cast<char*>(row), rowBytes}) == rowBytes;
  };
}

// Rows of `rowBytes` read from whole data (kept alive by the caller).
TSampleRows RowsOf(const TBytes& data, std::size_t rowBytes) {
  return [&data, rowBytes, at = std::size_t{0}](std::uint8_t* row) mutable {
    if (data.size() - at < rowBytes) return false;
    std::copy_n(data.data() + at, rowBytes, reinterpret_cast<char*>(row));
    at += rowBytes;
    return true;
  };
}

// Whether a soft mask asks for its colours to be taken out of a Matte: that is done on the
// planes at their own size, so such images are decoded whole.
bool HasMatte(TPDFStream* softMask) {
  return softMask && softMask->Dictionary()->GetValue("Matte", false) != nullptr;
}

}  // namespace

TPDFImageDecoder::TPDFImageDecoder(TImageDecodeContext context) : context_(std::move(context)) {}

TPDFObject* TPDFImageDecoder::Get(const TPDFDictionary& dict, const char* key) const {
  if (context_.Resolve) return context_.Resolve(dict.GetValue(key, false));
  return dict.GetValue(key, true);
}

std::pair<int, int> TPDFImageDecoder::ReducedSize(int width, int height) const {
  if (!(context_.DrawnWidth > 0 && context_.DrawnHeight > 0) || width <= 0 || height <= 0)
    return {0, 0};
  // The size the picture would be resized to when drawn, so that the bitmap made from the
  // reduced picture is the one the whole picture gives.
  const int w = DrawnSide(width, context_.DrawnWidth), h = DrawnSide(height, context_.DrawnHeight);
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels < context_.ReducedFromPixels || w >= width || h >= height ||
      std::uint64_t(w) * std::uint64_t(h) * 2 > pixels)
    return {0, 0};
  return {w, h};
}

void TPDFImageDecoder::NoteReduced(int width, int height) {
  if (reducedWidth_ == 0 || width < reducedWidth_) reducedWidth_ = width;
  if (reducedHeight_ == 0 || height < reducedHeight_) reducedHeight_ = height;
}

bool TPDFImageDecoder::Fail(std::string why) {
  picture_ = {};
  error_ = std::move(why);
  return false;
}

bool TPDFImageDecoder::Load(const TPDFStream& stream) {
  const TPDFDictionary& dict = *stream.Dictionary();
  auto number = [&](const char* key, const char* abbreviation) {
    TPDFObject* v = Get(dict, key);
    if (!v && abbreviation) v = Get(dict, abbreviation);
    return NumberOr(v, 0);
  };
  const int width = number("Width", "W"), height = number("Height", "H");
  int bits = number("BitsPerComponent", "BPC");
  auto* maskFlag = As<TPDFBoolean>(Get(dict, "ImageMask"));
  const bool stencil = maskFlag && maskFlag->Value;
  auto* interpolate = As<TPDFBoolean>(Get(dict, "Interpolate"));
  picture_.Interpolate = interpolate && interpolate->Value;

  TCodec codec = TCodec::None;
  TPDFObject* filter = Get(dict, "Filter");
  if (auto* name = As<TPDFName>(filter)) codec = CodecOf(name->Value);
  if (auto* array = As<TPDFArray>(filter); array && array->Count() > 0) {
    TPDFObject* last = array->Item(array->Count() - 1);
    if (context_.Resolve) last = context_.Resolve(last);
    if (auto* name = As<TPDFName>(last)) codec = CodecOf(name->Value);
  }

  TDecodeRanges decode;
  if (auto* array = As<TPDFArray>(Get(dict, "Decode"))) {
    for (int i = 0; i + 1 < array->Count(); i += 2) {
      auto* lo = As<TPDFNumeric>(context_.Resolve ? context_.Resolve(array->Item(i)) : array->Item(i));
      auto* hi = As<TPDFNumeric>(context_.Resolve ? context_.Resolve(array->Item(i + 1))
                                                  : array->Item(i + 1));
      if (!lo || !hi) break;
      decode.push_back({lo->Value, hi->Value});
    }
  }

  if (stencil) {
    if (codec != TCodec::None && codec != TCodec::CCITT && codec != TCodec::JBIG2)
      return Fail("stencil masks of this codec are not decoded");
    const TSampleLayout layout{width, height, 1, 1};
    if (layout.RowBytes(context_.MaxBytes) == 0) return Fail("image size unusable or too large");
    TBytes whole;
    const auto [w, h] = ReducedSize(width, height);
    if (w > 0) {
      picture_.Alpha = MaskSampleRows(SampleRows(stream, codec, layout, context_.MaxBytes, whole),
                                      layout, true, decode, w, h);
      NoteReduced(w, h);
    } else {
      picture_.Alpha = MaskSamples(WholeSamples(stream, codec, layout, context_.MaxBytes), layout,
                                   true, decode);
    }
    picture_.Stencil = true;
    picture_.Bilevel = true;
    return !picture_.Alpha.Empty() || Fail("empty stencil");
  }

  // The colour space; codec images without one use their own components.
  TPDFStructure names;
  TPDFObject* space = dict.GetValue("ColorSpace", false);
  if (!space) space = dict.GetValue("CS", false);
  std::unique_ptr<TImageColorConverter> colors =
      space && context_.Colors ? context_.Colors(space) : nullptr;
  auto deviceColors = [&](int components) {
    return context_.Colors ? context_.Colors(names.NewName(DeviceNameFor(components))) : nullptr;
  };

  std::vector<int> colorKey;
  TImagePlane keyAlpha;
  if (auto* key = As<TPDFArray>(Get(dict, "Mask"))) {
    for (int i = 0; i < key->Count(); ++i) {
      TPDFObject* item = context_.Resolve ? context_.Resolve(key->Item(i)) : key->Item(i);
      colorKey.push_back(NumberOr(item, 0));
    }
  }

  // The soft mask, looked up first: a Matte is taken out of planes of the same size.
  auto* soft = As<TPDFStream>(Get(dict, "SMask"));
  const bool matte = soft && Get(*soft->Dictionary(), "Matte");
  auto reduce = [&](int w, int h) { return matte ? std::pair{0, 0} : ReducedSize(w, h); };
  const TImageDecodeLimits codecLimits{context_.MaxBytes, limits::kMaxJpegScans};
  if (codec == TCodec::None || codec == TCodec::CCITT || codec == TCodec::JBIG2) {
    // Fax and JBIG2 data become one-bit gray (or Indexed) samples.
    if (codec != TCodec::None) {
      bits = 1;
      if (!colors || colors->Components() != 1) colors = deviceColors(1);
    }
    if (!colors) return Fail("unknown colour space");
    if (bits == 0) bits = 8;
    const TSampleLayout layout{width, height, colors->Components(), bits};
    if (layout.RowBytes(context_.MaxBytes) == 0) return Fail("image size unusable or too large");
    picture_.Bilevel = bits == 1 && layout.Components == 1;
    const auto* key = colorKey.empty() ? nullptr : &colorKey;
    TBytes whole;
    if (const auto [w, h] = reduce(width, height); w > 0) {
      TSampleRows rows = SampleRows(stream, codec, layout, context_.MaxBytes, whole);
      // JBIG2 data without a page leaves the image out rather than painting it white.
      if (codec == TCodec::JBIG2 && whole.empty()) return Fail("JBIG2 data has no page");
      picture_.Color = ConvertSampleRows(rows, layout, decode, *colors, key, &keyAlpha, w, h);
      NoteReduced(w, h);
    } else {
      whole = WholeSamples(stream, codec, layout, context_.MaxBytes);
      if (codec == TCodec::JBIG2 && whole.empty()) return Fail("JBIG2 data has no page");
      picture_.Color = ConvertSamples(std::move(whole), layout, decode, *colors, key, &keyAlpha);
    }
  } else {
    TBytes data = stream.Decode(context_.Budget);
    TDecodedImage image;
    TDCTDecodeOptions options;
    if (codec == TCodec::DCT) {
      options.Limits = codecLimits;
      // The largest reduction that still leaves at least the drawn size.
      if (context_.DrawnWidth > 0 && context_.DrawnHeight > 0 && width > 0 && height > 0) {
        for (int d : {8, 4, 2}) {
          if ((width + d - 1) / d >= context_.DrawnWidth &&
              (height + d - 1) / d >= context_.DrawnHeight) {
            options.ScaleDenominator = d;
            break;
          }
        }
      }
      image = DecodeDCT(data, options);
    } else {
      image = DecodeJPX(data, codecLimits);
    }
    data.clear();
    data.shrink_to_fit();
    if (image.Empty()) return Fail(image.Error.empty() ? "image codec failed" : image.Error);
    if (options.ScaleDenominator > 1) NoteReduced(image.Width, image.Height);
    int components = image.Components;
    if (image.HasAlpha) {
      --components;
      auto* inData = As<TPDFNumeric>(Get(dict, "SMaskInData"));
      if (inData && inData->Value > 0) picture_.Alpha = ExtractChannel(image, components);
      image.Pixels = DropTrailingChannels(image, components);
      image.Components = components;
    }
    if (!colors || colors->Components() != components) colors = deviceColors(components);
    if (!colors) return Fail("unknown colour space");
    const TSampleLayout layout{image.Width, image.Height, components, 8};
    const auto* key = colorKey.empty() ? nullptr : &colorKey;
    if (const auto [w, h] = reduce(image.Width, image.Height); w > 0) {
      picture_.Color = ConvertSampleRows(RowsOf(image.Pixels, layout.RowBytes(~std::uint64_t{0})),
                                         layout, decode, *colors, key, &keyAlpha, w, h);
      NoteReduced(w, h);
    } else {
      picture_.Color = ConvertSamples(std::move(image.Pixels), layout, decode, *colors, key, &keyAlpha);
    }
  }
  if (picture_.Color.Empty()) return Fail("image has no pixels");
  if (!keyAlpha.Empty()) picture_.Alpha = std::move(keyAlpha);

  // A soft mask wins over an explicit mask and over the alpha of a JPEG 2000 image.
  if (soft) {
    TImagePlane alpha;
    if (LoadMask(*soft, true, alpha)) {
      picture_.Alpha = std::move(alpha);
      // Colours blended with the Matte colour by their opacity are taken back out of it.
      std::vector<double> matte;
      if (auto* m = As<TPDFArray>(Get(*soft->Dictionary(), "Matte")); m && colors) {
        for (int i = 0; i < m->Count() && i < colors->Components(); ++i) {
          auto* n = As<TPDFNumeric>(context_.Resolve ? context_.Resolve(m->Item(i)) : m->Item(i));
          matte.push_back(n && std::isfinite(n->Value) ? n->Value : 0.0);
        }
      }
      if (colors && !matte.empty() && static_cast<int>(matte.size()) == colors->Components()) {
        std::uint8_t rgb[3];
        colors->ToRGB(matte, rgb);
        RemoveMatte(picture_, rgb);
      }
    }
  } else if (auto* mask = As<TPDFStream>(Get(dict, "Mask"))) {
    TImagePlane alpha;
    if (LoadMask(*mask, false, alpha)) picture_.Alpha = std::move(alpha);
  }
  if (picture_.Bytes() > context_.MaxBytes) return Fail("image too large");
  return true;
}

bool TPDFImageDecoder::LoadMask(const TPDFStream& stream, bool soft, TImagePlane& out) {
  const TPDFDictionary& dict = *stream.Dictionary();
  const int width = NumberOr(Get(dict, "Width"), 0), height = NumberOr(Get(dict, "Height"), 0);
  int bits = NumberOr(Get(dict, "BitsPerComponent"), soft ? 8 : 1);
  if (!soft) bits = 1;
  TCodec codec = TCodec::None;
  TPDFObject* filter = Get(dict, "Filter");
  if (auto* name = As<TPDFName>(filter)) codec = CodecOf(name->Value);
  if (auto* array = As<TPDFArray>(filter); array && array->Count() > 0) {
    TPDFObject* last = array->Item(array->Count() - 1);
    if (context_.Resolve) last = context_.Resolve(last);
    if (auto* name = As<TPDFName>(last)) codec = CodecOf(name->Value);
  }
  TDecodeRanges decode;
  if (auto* array = As<TPDFArray>(Get(dict, "Decode")); array && array->Count() >= 2) {
    auto* lo = As<TPDFNumeric>(context_.Resolve ? context_.Resolve(array->Item(0)) : array->Item(0));
    auto* hi = As<TPDFNumeric>(context_.Resolve ? context_.Resolve(array->Item(1)) : array->Item(1));
    if (lo && hi) decode.push_back({lo->Value, hi->Value});
  }
  const std::uint64_t budget = context_.MaxBytes - std::min(context_.MaxBytes, picture_.Bytes());
  if (codec == TCodec::None || codec == TCodec::CCITT || codec == TCodec::JBIG2) {
    if (codec != TCodec::None) bits = 1;
    const TSampleLayout layout{width, height, 1, bits};
    if (layout.RowBytes(budget) == 0) return false;
    // A Matte is taken out of planes of the same size.
    const auto [w, h] = soft && Get(dict, "Matte") ? std::pair{0, 0} : ReducedSize(width, height);
    TBytes whole;
    if (w > 0) {
      out = MaskSampleRows(SampleRows(stream, codec, layout, budget, whole), layout, !soft,
                           decode, w, h);
      NoteReduced(w, h);
    } else {
      out = MaskSamples(WholeSamples(stream, codec, layout, budget), layout, !soft, decode);
    }
    return !out.Empty();
  }
  const TImageDecodeLimits codecLimits{budget, limits::kMaxJpegScans};
  const TBytes data = stream.Decode(context_.Budget);
  TDecodedImage image = codec == TCodec::DCT ? DecodeDCT(data, {true, codecLimits})
                                             : DecodeJPX(data, codecLimits);
  if (image.Empty()) return false;
  const TSampleLayout layout{image.Width, image.Height, 1, 8};
  out = MaskSamples(ExtractChannel(image, 0).Data, layout, !soft, decode);
  return !out.Empty();
}

TBytes TPDFImageDecoder::WholeSamples(const TPDFStream& stream, TCodec codec,
                                      const TSampleLayout& layout, std::uint64_t maxBytes) const {
  const TBytes data = stream.Decode(context_.Budget);
  if (codec == TCodec::CCITT) return FaxSamples(*stream.Dictionary(), data, layout.Width, layout.Height, maxBytes);
  if (codec == TCodec::JBIG2) return JBIG2Samples(*stream.Dictionary(), data, layout.Width, layout.Height, maxBytes);
  return data;
}

TSampleRows TPDFImageDecoder::SampleRows(const TPDFStream& stream, TCodec codec,
                                         const TSampleLayout& layout, std::uint64_t maxBytes,
                                         TBytes& whole) const {
  const std::uint64_t rowBytes = layout.RowBytes(~std::uint64_t{0});
  if (codec == TCodec::None) {
    if (std::unique_ptr<TByteSource> reader = OpenStreamReader(stream, context_.Budget))
      return RowsFrom(std::move(reader), rowBytes);
  }
  whole = WholeSamples(stream, codec, layout, maxBytes);
  return RowsOf(whole, rowBytes);
}

TBytes TPDFImageDecoder::FaxSamples(const TPDFDictionary& dict, TByteView data, int width,
                                    int height, std::uint64_t maxBytes) const {
  auto resolve = [&](TPDFObject* o) { return context_.Resolve ? context_.Resolve(o) : o; };
  TPDFObject* parms = Get(dict, "DecodeParms");
  if (auto* array = As<TPDFArray>(parms)) {
    // The parameters at the codec's place: the last filter's.
    int index = array->Count() - 1;
    if (auto* filters = As<TPDFArray>(Get(dict, "Filter"))) index = filters->Count() - 1;
    parms = index >= 0 && index < array->Count() ? resolve(array->Item(index)) : nullptr;
  }
  TCCITTFilterParams params;
  if (auto* entries = As<TPDFDictionary>(parms)) {
    auto flag = [&](const char* key, bool fallback) {
      auto* value = As<TPDFBoolean>(Get(*entries, key));
      return value ? value->Value : fallback;
    };
    params.Coding.K = NumberOr(Get(*entries, "K"), 0);
    params.Coding.EncodedByteAlign = flag("EncodedByteAlign", false);
    params.Coding.EndOfLine = flag("EndOfLine", false);
    params.Coding.EndOfBlock = flag("EndOfBlock", true);
    params.Columns = NumberOr(Get(*entries, "Columns"), 1728);
    params.BlackIs1 = flag("BlackIs1", false);
  }
  return DecodeCCITTSamples(data, params, width, height, maxBytes);
}

TBytes TPDFImageDecoder::JBIG2Samples(const TPDFDictionary& dict, TByteView data, int width,
                                      int height, std::uint64_t maxBytes) const {
  // The globals sit in the decode parameters of the JBIG2 filter, the last one.
  TPDFObject* parms = Get(dict, "DecodeParms");
  if (auto* array = As<TPDFArray>(parms)) {
    int index = array->Count() - 1;
    if (auto* filters = As<TPDFArray>(Get(dict, "Filter"))) index = filters->Count() - 1;
    parms = index >= 0 && index < array->Count()
                ? (context_.Resolve ? context_.Resolve(array->Item(index)) : array->Item(index))
                : nullptr;
  }
  TBytes globals;
  if (auto* entries = As<TPDFDictionary>(parms))
    if (auto* g = As<TPDFStream>(Get(*entries, "JBIG2Globals"))) globals = g->Decode(context_.Budget);
  if (width <= 0 || height <= 0) return {};
  // Symbols and regions on the way may take a few times the picture's own pixels.
  const std::uint64_t maxPixels =
      std::min<std::uint64_t>(limits::kMaxJBIG2DecodedPixels, maxBytes * 4);
  std::string error;
  return DecodeJBIG2Samples(data, globals, width, height, error, maxPixels);
}

const TCanvasBitmap& TPDFImageDecoder::Bitmap(int width, int height, TPackedColor fill) {
  if (bitmap_.Width != width || bitmap_.Height != height ||
      (picture_.Stencil && bitmapFill_ != fill)) {
    bitmap_ = MakeCanvasBitmap(picture_, width, height, fill);
    bitmapFill_ = fill;
  }
  return bitmap_;
}

}  // namespace kestrel
