#pragma once
// Holds the content-stream text of a page being composed and the text-state operators that
// drawing calls would write. Not on the rendering path: the page tree owns one per document.
#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace kestrel {

enum class TPainterState : std::size_t {
  FillColor,
  SecondFillColor,
  StrokeColor,
  LineWidth,
  Dash,
  HorizontalScaling,
  TextRise,
  Spacing,
  GreyFill,
  Font,
  SecondStrokeColor,  // has no "still to be written" flag
  Count
};

class TPDFPainter {
 public:
  using TChangeCallback = std::function<void(TPDFPainter&)>;

  // precision: decimal places of the numbers it writes (the document's setting, 4 without one).
  explicit TPDFPainter(int precision = 4);

  void SetChangeCallback(TChangeCallback callback) { m_onChange = std::move(callback); }

  // Restores every state text, clears font and size and the buffer, marks all flags, clears
  // the suspend counter and notifies.
  void Reset();
  // A size not above 0 becomes 1. The font text becomes "/<name> <size> Tf".
  void SetFontAndSize(std::string_view fontResourceName, double size);
  // Replaces the buffer; a non-empty text gets one space after it unless it ends in a space.
  void LoadContent(std::string_view text);
  // The buffer, ending in a line feed.
  std::string GetContent() const;
  // Appends the text, then the terminator unless it is 0.
  void WriteText(std::string_view text, char terminator);

  // Change notification is held back while the counter is above 0.
  void BeginUpdate() { ++m_suspend; }
  void EndUpdate() {
    if (m_suspend > 0) --m_suspend;
  }

  const std::string& FontName() const { return m_fontName; }
  double FontSize() const { return m_fontSize; }
  double HorizontalScaling() const { return m_horizontalScaling; }
  int Precision() const { return m_precision; }
  const std::string& StateText(TPainterState state) const;
  // Whether the state text is still to be written (always false for the second stroke colour).
  bool Pending(TPainterState state) const;

 private:
  static constexpr std::size_t kStates = static_cast<std::size_t>(TPainterState::Count);
  static constexpr std::size_t kFlags = 10;

  void Notify();

  int m_precision;
  TChangeCallback m_onChange;
  std::string m_buffer;
  std::string m_fontName;
  double m_fontSize = 0;
  double m_horizontalScaling = 100;
  std::array<std::string, kStates> m_texts;
  std::array<bool, kFlags> m_pending{};
  int m_suspend = 0;
};

}  // namespace kestrel
