#include "images/jpx_test_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace kestrel::oracle {

namespace {

struct TSink {
  TBytes Data;
  std::size_t Pos = 0;
};

OPJ_SIZE_T Write(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* sink = static_cast<TSink*>(user);
  if (sink->Pos + n > sink->Data.size()) sink->Data.resize(sink->Pos + n);
  std::memcpy(sink->Data.data() + sink->Pos, buffer, n);
  sink->Pos += n;
  return n;
}

OPJ_OFF_T Skip(OPJ_OFF_T n, void* user) {
  auto* sink = static_cast<TSink*>(user);
  sink->Pos += n;
  if (sink->Pos > sink->Data.size()) sink->Data.resize(sink->Pos);
  return n;
}

OPJ_BOOL Seek(OPJ_OFF_T pos, void* user) {
  auto* sink = static_cast<TSink*>(user);
  sink->Pos = static_cast<std::size_t>(pos);
  if (sink->Pos > sink->Data.size()) sink->Data.resize(sink->Pos);
  return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

}  // namespace

TBytes WriteTestJpx(const TJpxSpec& spec) {
  std::vector<opj_image_cmptparm_t> params(spec.Components.size());
  for (std::size_t i = 0; i < params.size(); ++i) {
    const TJpxComponent& c = spec.Components[i];
    opj_image_cmptparm_t& p = params[i];
    std::memset(&p, 0, sizeof p);
    p.dx = c.Dx;
    p.dy = c.Dy;
    p.x0 = (spec.OriginX + c.Dx - 1) / c.Dx;
    p.y0 = (spec.OriginY + c.Dy - 1) / c.Dy;
    p.w = (spec.OriginX + spec.Width + c.Dx - 1) / c.Dx - p.x0;
    p.h = (spec.OriginY + spec.Height + c.Dy - 1) / c.Dy - p.y0;
    p.prec = c.Precision;
    p.sgnd = c.Signed;
  }
  std::unique_ptr<opj_image_t, void (*)(opj_image_t*)> image(
      opj_image_create(OPJ_UINT32(params.size()), params.data(), spec.ColorSpace),
      opj_image_destroy);
  if (!image) return {};
  image->x0 = spec.OriginX;
  image->y0 = spec.OriginY;
  image->x1 = spec.OriginX + spec.Width;
  image->y1 = spec.OriginY + spec.Height;
  for (std::size_t i = 0; i < params.size(); ++i) {
    const TJpxComponent& c = spec.Components[i];
    opj_image_comp_t& comp = image->comps[i];
    comp.alpha = c.Alpha ? 1 : 0;
    if (c.Samples.size() != std::size_t(comp.w) * comp.h) return {};
    std::copy(c.Samples.begin(), c.Samples.end(), comp.data);
  }

  opj_cparameters_t parameters;
  opj_set_default_encoder_parameters(&parameters);
  parameters.tcp_numlayers = 1;
  parameters.tcp_rates[0] = 0;  // lossless
  parameters.cp_disto_alloc = 1;
  // Two resolution levels exercise the wavelet; a side of one sample allows only one.
  OPJ_UINT32 smallest = UINT32_MAX;
  for (const auto& p : params) smallest = std::min({smallest, p.w, p.h});
  parameters.numresolution = smallest >= 2 ? 2 : 1;
  parameters.irreversible = 0;
  parameters.tcp_mct = 0;
  parameters.image_offset_x0 = spec.OriginX;
  parameters.image_offset_y0 = spec.OriginY;

  std::unique_ptr<opj_codec_t, void (*)(opj_codec_t*)> codec(
      opj_create_compress(spec.FileFormat ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K), opj_destroy_codec);
  if (!codec) return {};
  opj_set_info_handler(codec.get(), Quiet, nullptr);
  opj_set_warning_handler(codec.get(), Quiet, nullptr);
  opj_set_error_handler(codec.get(), Quiet, nullptr);
  if (!opj_setup_encoder(codec.get(), &parameters, image.get())) return {};

  TSink sink;
  std::unique_ptr<opj_stream_t, void (*)(opj_stream_t*)> stream(
      opj_stream_create(1 << 16, OPJ_FALSE), opj_stream_destroy);
  opj_stream_set_user_data(stream.get(), &sink, nullptr);
  opj_stream_set_write_function(stream.get(), Write);
  opj_stream_set_skip_function(stream.get(), Skip);
  opj_stream_set_seek_function(stream.get(), Seek);
  if (!opj_start_compress(codec.get(), image.get(), stream.get()) ||
      !opj_encode(codec.get(), stream.get()) || !opj_end_compress(codec.get(), stream.get())) {
    return {};
  }
  stream.reset();
  return sink.Data;
}

}  // namespace kestrel::oracle
