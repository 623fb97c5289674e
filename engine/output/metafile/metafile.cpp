#include "engine/output/metafile/metafile.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kestrel {

using namespace metafile_limits;

namespace {

std::size_t PointCount(const std::vector<std::vector<TMetafilePoint>>& figures) {
  std::size_t n = 0;
  for (const auto& f : figures) n += f.size();
  return n;
}

}  // namespace

void TKestrelMetafile::Reset(bool enhanced, std::int64_t width, std::int64_t height) {
  m_enhanced = enhanced;
  m_width = std::clamp<std::int64_t>(width, 1, kMaxSide);
  m_height = std::clamp<std::int64_t>(height, 1, kMaxSide);
  m_records.clear();
  m_figures.clear();
  m_points.clear();
  m_images.clear();
  m_imageBytes = 0;
  m_dropped = 0;
  m_clipDepth = 0;
}

void TKestrelMetafile::AddFigures(const std::vector<std::vector<TMetafilePoint>>& figures,
                                  const std::vector<bool>* closed, TMetafileRecord& record) {
  record.FirstFigure = static_cast<std::uint32_t>(m_figures.size());
  for (std::size_t i = 0; i < figures.size(); ++i) {
    if (figures[i].empty()) continue;
    TMetafileFigure f;
    f.First = static_cast<std::uint32_t>(m_points.size());
    f.Count = static_cast<std::uint32_t>(figures[i].size());
    f.Closed = closed ? (i < closed->size() && (*closed)[i]) : true;
    m_points.insert(m_points.end(), figures[i].begin(), figures[i].end());
    m_figures.push_back(f);
  }
  record.FigureCount = static_cast<std::uint32_t>(m_figures.size()) - record.FirstFigure;
}

bool TKestrelMetafile::AddFill(const std::vector<std::vector<TMetafilePoint>>& figures,
                               TPackedColor color, bool evenOdd) {
  const std::size_t n = PointCount(figures);
  if (Full() || n > kMaxPoints - m_points.size()) {
    ++m_dropped;
    return false;
  }
  if (n == 0) return true;
  TMetafileRecord r;
  r.Op = TMetafileOp::Fill;
  r.Color = color & 0xFFFFFF;
  r.EvenOdd = evenOdd;
  AddFigures(figures, nullptr, r);
  m_records.push_back(r);
  return true;
}

bool TKestrelMetafile::AddStroke(const std::vector<std::vector<TMetafilePoint>>& figures,
                                 const std::vector<bool>& closed, const TMetafilePen& pen) {
  const std::size_t n = PointCount(figures);
  if (Full() || n > kMaxPoints - m_points.size()) {
    ++m_dropped;
    return false;
  }
  if (n == 0) return true;
  TMetafileRecord r;
  r.Op = TMetafileOp::Stroke;
  r.Pen = pen;
  r.Pen.Color &= 0xFFFFFF;
  AddFigures(figures, &closed, r);
  m_records.push_back(r);
  return true;
}

bool TKestrelMetafile::AddPushClip(const std::vector<std::vector<TMetafilePoint>>& figures,
                                   bool evenOdd, bool replace) {
  if (Full()) {
    ++m_dropped;
    return false;
  }
  TMetafileRecord r;
  r.Op = TMetafileOp::PushClip;
  r.EvenOdd = evenOdd;
  r.Replace = replace;
  if (PointCount(figures) <= kMaxPoints - m_points.size()) {
    AddFigures(figures, nullptr, r);
  } else {
    // Too much to keep: the clip widens to the bounding box of its figures.
    ++m_dropped;
    float minX = std::numeric_limits<float>::max(), minY = minX;
    float maxX = std::numeric_limits<float>::lowest(), maxY = maxX;
    for (const auto& f : figures) {
      for (const TMetafilePoint& p : f) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
      }
    }
    const std::vector<std::vector<TMetafilePoint>> box{
        {{minX, minY}, {maxX, minY}, {maxX, maxY}, {minX, maxY}}};
    AddFigures(box, nullptr, r);
    r.EvenOdd = false;
    r.Replace = false;
  }
  m_records.push_back(r);
  ++m_clipDepth;
  return true;
}

bool TKestrelMetafile::AddPopClip() {
  // A pop matches a recorded push, so pops never outnumber the bounded pushes.
  if (m_clipDepth == 0) return false;
  TMetafileRecord r;
  r.Op = TMetafileOp::PopClip;
  m_records.push_back(r);
  --m_clipDepth;
  return true;
}

bool TKestrelMetafile::AddImage(TMetafileImage image) {
  const std::size_t bytes = image.Bgr.size() + image.Mask.size();
  if (Full() || bytes > kMaxImageBytes - m_imageBytes || image.Width <= 0 || image.Height <= 0) {
    ++m_dropped;
    return false;
  }
  m_imageBytes += bytes;
  TMetafileRecord r;
  r.Op = TMetafileOp::Image;
  r.Image = static_cast<std::uint32_t>(m_images.size());
  m_images.push_back(std::move(image));
  m_records.push_back(r);
  return true;
}

double GuardMargin(const TKestrelMetafile& metafile) {
  // Pages up to 30000 pixels a side are written one unit a pixel (limit 32767); larger ones
  // are scaled to 30000 units, leaving 9% of the side.
  const double side = static_cast<double>(std::max(metafile.Width(), metafile.Height()));
  return side <= 30000 ? std::max(16.0, 32000 - side) : 0.09 * side;
}

TBytes TKestrelMetafile::Write() const {
  return m_enhanced ? WriteEnhancedMetafile(*this) : WriteWindowsMetafile(*this);
}

}  // namespace kestrel
