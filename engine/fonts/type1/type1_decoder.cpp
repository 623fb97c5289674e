#include "engine/fonts/type1/type1_decoder.h"

#include <charconv>
#include <cmath>

#include "engine/fonts/type1/cff_program.h"
#include "engine/fonts/type1/cff_standard_data.h"
#include "engine/fonts/type1/glyph_outline.h"
#include "engine/fonts/type1/type1_charstring.h"
#include "engine/fonts/type1/type1_program.h"
#include "engine/fonts/type1/type2_charstring.h"

namespace kestrel {
namespace {

// The number after "GID:" or "CID:", or -1 when the name is not of that form.
long NumberedGlyph(std::string_view name) {
  if (name.size() < 5 || (name.substr(0, 4) != "GID:" && name.substr(0, 4) != "CID:")) return -1;
  long n = -1;
  const auto r = std::from_chars(name.data() + 4, name.data() + name.size(), n);
  return r.ec == std::errc() && r.ptr == name.data() + name.size() && n >= 0 ? n : -1;
}

}  // namespace

TPDFType1Decoder::TPDFType1Decoder() {
  for (int c = 0; c < 256; ++c) m_builtInEncoding[c] = std::string(StandardEncodingName(c));
}

TPDFType1Decoder::~TPDFType1Decoder() = default;

bool TPDFType1Decoder::LoadType1Program(std::string_view data, std::size_t length1) {
  m_cff.reset();
  m_cache.clear();
  m_cacheBytes = 0;
  m_type1 = std::make_unique<TType1Program>();
  const bool ok = m_type1->Load(data, length1);
  m_builtInEncoding = m_type1->Encoding();
  SetScale(m_type1->FontMatrix());
  return ok;
}

bool TPDFType1Decoder::LoadCFFProgram(std::string data) {
  m_type1.reset();
  m_cache.clear();
  m_cacheBytes = 0;
  m_cff = std::make_unique<TCFFProgram>();
  if (!m_cff->Load(std::move(data))) return false;
  if (!m_cff->CIDKeyed()) m_builtInEncoding = m_cff->Encoding();
  SetScale(m_cff->FontMatrix());
  return true;
}

// The glyph scale is the font matrix's x scale relative to the usual 1/1000; whatever the
// matrix holds beyond it (skew, unequal axes) goes into the outlines.
void TPDFType1Decoder::SetScale(const TPDFMatrix& m) {
  const double s = std::hypot(m.a, m.b) * 1000;
  m_scale = std::isfinite(s) && s > 1e-9 ? s : 1.0;
}

bool TPDFType1Decoder::CIDKeyed() const { return m_cff && m_cff->CIDKeyed(); }

int TPDFType1Decoder::GlyphIndex(std::string_view name) const {
  const long n = NumberedGlyph(name);
  if (m_type1) {
    const int g = m_type1->GlyphOfName(name);
    if (g >= 0 || n < 0) return g;
    return n < static_cast<long>(m_type1->GlyphCount()) ? static_cast<int>(n) : -1;
  }
  if (!m_cff) return -1;
  if (m_cff->CIDKeyed()) return n >= 0 && n <= 0xFFFF ? m_cff->GlyphOfCID(static_cast<unsigned>(n)) : -1;
  const int g = m_cff->GlyphOfName(name);
  if (g >= 0 || n < 0) return g;
  return n < static_cast<long>(m_cff->GlyphCount()) ? static_cast<int>(n) : -1;
}

bool TPDFType1Decoder::HasGlyph(std::string_view name) const { return GlyphIndex(name) >= 0; }

const TPDFType1Decoder::TGlyph& TPDFType1Decoder::Glyph(std::string_view name) {
  const auto it = m_cache.find(name);
  if (it != m_cache.end()) return *it->second;
  auto glyph = std::make_unique<TGlyph>();
  const int g = GlyphIndex(name);
  if (g >= 0) {
    // Outlines are kept in units of 1/(1000 * scale) em, with the rest of the font matrix
    // applied here.
    TPDFMatrix fm = m_type1 ? m_type1->FontMatrix() : m_cff->FontMatrix();
    if (m_cff && m_cff->CIDKeyed()) {
      const TCFFFontDict& fd = m_cff->FontDictOf(g);
      if (fd.HasMatrix) {
        if (m_cff->HasTopFontMatrix()) MatrixMultiply(fm, fd.Matrix, fm);
        else fm = fd.Matrix;
      }
    }
    const double k = 1000 / m_scale;
    TPDFMatrix residual;
    SetMatrix(residual, fm.a * k, fm.b * k, fm.c * k, fm.d * k, fm.e * k, fm.f * k);
    if (!IsFiniteMatrix(residual)) residual = IdentityMatrix();
    // Matrices within rounding of the identity are taken as it, so outlines are not touched.
    if (std::fabs(residual.a - 1) < 1e-9 && std::fabs(residual.d - 1) < 1e-9 &&
        std::fabs(residual.b) < 1e-9 && std::fabs(residual.c) < 1e-9 &&
        std::fabs(residual.e) < 1e-9 && std::fabs(residual.f) < 1e-9)
      residual = IdentityMatrix();
    TGlyphOutline out(glyph->Shape, residual);
    glyph->Found = m_type1 ? DrawType1Glyph(*m_type1, g, out) : DrawType2Glyph(*m_cff, g, out);
    // A glyph cut short by a fault still draws what it built.
    glyph->Found = glyph->Found || glyph->Shape.Count() > 0;
  }
  const TGlyph& ref = *glyph;
  m_cacheBytes += sizeof(TGlyph) + 64 + name.size() + glyph->Shape.Capacity() * sizeof(TShapeCommand);
  m_cache.emplace(std::string(name), std::move(glyph));
  return ref;
}

std::size_t TPDFType1Decoder::MemorySize() const {
  std::size_t n = sizeof(*this) + m_cacheBytes;
  if (m_type1) n += m_type1->MemorySize();
  if (m_cff) n += m_cff->MemorySize();
  return n;
}

bool TPDFType1Decoder::DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix, double x,
                                 double y, std::string_view name) {
  const TGlyph& glyph = Glyph(name);
  if (glyph.Shape.Count() > 0) {
    TPDFMatrix m;
    SetMatrix(m, m_scale, 0, 0, m_scale, x * m_scale, y * m_scale);
    MatrixMultiply(m, m, matrix);
    ReplayShape(canvas, glyph.Shape, m);
  }
  return glyph.Found;
}

}  // namespace kestrel
