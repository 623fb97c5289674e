#include "images/dct_test_jpeg.h"

#include <cstring>
#include <memory>

#include "engine/images/dct_libjpeg.h"

namespace kestrel::oracle {

namespace {

struct TState {
  jpeg_compress_struct Info;
  dct::TErrorManager Error;
  dct::TByteDestination Destination;
};

bool Run(TState* s, const std::vector<std::uint8_t>* samples, const TTestJpeg* spec, TBytes* out) {
  if (setjmp(s->Error.Jump)) return false;
  jpeg_create_compress(&s->Info);
  dct::UseByteDestination(&s->Info, s->Destination, *out);
  s->Info.image_width = spec->Width;
  s->Info.image_height = spec->Height;
  s->Info.input_components = spec->Components;
  s->Info.in_color_space = spec->Input;
  jpeg_set_defaults(&s->Info);
  jpeg_set_colorspace(&s->Info, spec->Stored);
  if (spec->FullChroma) {
    for (int c = 0; c < s->Info.num_components; ++c) {
      s->Info.comp_info[c].h_samp_factor = 1;
      s->Info.comp_info[c].v_samp_factor = 1;
    }
  }
  s->Info.write_Adobe_marker = spec->AdobeMarker ? TRUE : FALSE;
  jpeg_set_quality(&s->Info, spec->Quality, TRUE);
  if (spec->Progressive) jpeg_simple_progression(&s->Info);
  jpeg_start_compress(&s->Info, TRUE);
  const std::size_t rowBytes = std::size_t(spec->Width) * spec->Components;
  while (s->Info.next_scanline < s->Info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples->data() + rowBytes * s->Info.next_scanline);
    jpeg_write_scanlines(&s->Info, &row, 1);
  }
  jpeg_finish_compress(&s->Info);
  return true;
}

}  // namespace

TBytes WriteTestJpeg(const std::vector<std::uint8_t>& samples, const TTestJpeg& spec) {
  if (samples.size() != std::size_t(spec.Width) * spec.Height * spec.Components) return {};
  auto state = std::make_unique<TState>();
  std::memset(&state->Info, 0, sizeof state->Info);
  state->Info.err = dct::InstallErrorManager(state->Error);
  TBytes out;
  const bool ok = Run(state.get(), &samples, &spec, &out);
  jpeg_destroy_compress(&state->Info);
  return ok ? out : TBytes{};
}

}  // namespace kestrel::oracle
