#include "support/painter.h"

#include <cmath>

#include "engine/graphics/format_decimal.h"

namespace kestrel {
namespace {

std::size_t Index(TPainterState s) { return static_cast<std::size_t>(s); }

}  // namespace

TPDFPainter::TPDFPainter(int precision) : m_precision(precision) { Reset(); }

void TPDFPainter::Reset() {
  m_texts[Index(TPainterState::FillColor)] = "0 0 0 rg";
  m_texts[Index(TPainterState::SecondFillColor)] = "1 1 1 rg";
  m_texts[Index(TPainterState::StrokeColor)] = "0 0 0 RG";
  m_texts[Index(TPainterState::LineWidth)] = "1 w";
  m_texts[Index(TPainterState::Dash)] = "[] 0 d";
  m_texts[Index(TPainterState::HorizontalScaling)] = "100 Tz";
  m_texts[Index(TPainterState::TextRise)] = "0 Ts";
  m_texts[Index(TPainterState::Spacing)] = "0 Tw 0 Tc";
  m_texts[Index(TPainterState::GreyFill)] = "0.5 0.5 0.5 rg";
  m_texts[Index(TPainterState::Font)].clear();
  m_texts[Index(TPainterState::SecondStrokeColor)] = "0 0 0 RG";
  m_horizontalScaling = 100;
  m_fontName.clear();
  m_fontSize = 0;
  m_buffer.clear();
  m_pending.fill(true);
  m_suspend = 0;
  Notify();
}

void TPDFPainter::Notify() {
  if (m_suspend == 0 && m_onChange) m_onChange(*this);
}

void TPDFPainter::SetFontAndSize(std::string_view fontResourceName, double size) {
  if (!(size > 0)) size = 1;  // also NaN
  m_fontName = fontResourceName;
  m_fontSize = size;
  m_texts[Index(TPainterState::Font)] =
      "/" + m_fontName + " " + FormatDecimal(m_precision, size) + " Tf";
  // The operators that must follow a font change: the font itself, scaling and spacing.
  m_pending[Index(TPainterState::Font)] = true;
  m_pending[Index(TPainterState::HorizontalScaling)] = true;
  m_pending[Index(TPainterState::Spacing)] = true;
}

void TPDFPainter::LoadContent(std::string_view text) {
  m_buffer.clear();
  if (text.empty()) return;
  m_buffer.append(text);
  if (text.back() != ' ') m_buffer.push_back(' ');
}

std::string TPDFPainter::GetContent() const {
  std::string out = m_buffer;
  if (out.empty() || out.back() != '\n') out.push_back('\n');
  return out;
}

void TPDFPainter::WriteText(std::string_view text, char terminator) {
  m_buffer.append(text);
  if (terminator != 0) m_buffer.push_back(terminator);
}

const std::string& TPDFPainter::StateText(TPainterState state) const {
  return m_texts[Index(state)];
}

bool TPDFPainter::Pending(TPainterState state) const {
  const std::size_t i = Index(state);
  return i < kFlags && m_pending[i];
}

}  // namespace kestrel
