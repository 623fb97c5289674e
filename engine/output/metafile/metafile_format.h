#pragma once
// What the Windows-metafile and enhanced-metafile writers share: little-endian output, the
// mapping of device pixels to the formats' integer coordinates, device-independent bitmaps and
// the bookkeeping of drawing objects (pens, brushes) across saved drawing states.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "engine/output/metafile/metafile.h"

namespace kestrel::metafile {

void PutU16(TBytes& out, std::uint16_t v);
void PutI16(TBytes& out, std::int16_t v);
void PutU32(TBytes& out, std::uint32_t v);
void PutI32(TBytes& out, std::int32_t v);
void PatchU32(TBytes& out, std::size_t at, std::uint32_t v);

struct TIntPoint {
  std::int32_t x = 0, y = 0;
  friend bool operator==(const TIntPoint&, const TIntPoint&) = default;
};

// Device pixels to format units: v × UnitsPerPixel rounded, clamped to ±Limit. The writers
// pick UnitsPerPixel so that the page fits well inside the range; only geometry far outside
// the page (already cut to the canvas's guard box) can meet the clamp. NaN never reaches here
// (the metafile stores finite points), but it maps to 0 all the same.
struct TCoordinateMap {
  double UnitsPerPixel = 1;
  std::int32_t Limit = 32767;
  std::int32_t Map(double v) const;
};

// The page extent in format units (at least 1).
std::int32_t MappedExtent(const TCoordinateMap& map, std::int64_t pixels);

// A figure's points in format units with consecutive repeats removed (and the closing repeat
// of a closed figure). More than maxPoints points are thinned evenly to maxPoints.
std::vector<TIntPoint> MapFigure(const TKestrelMetafile& metafile, const TMetafileFigure& figure,
                                 const TCoordinateMap& map, std::size_t maxPoints);

// When the figures are one axis-aligned rectangle, its corners (left, top, right, bottom).
bool AsRectangle(const std::vector<std::vector<TIntPoint>>& figures, TIntPoint& topLeft,
                 TIntPoint& bottomRight);

// Device-independent bitmaps: a 40-byte BITMAPINFOHEADER, then the palette (1-bit only), then
// bottom-up rows padded to 4 bytes. The colour picture paints transparent pixels black (for
// the OR pass); the mask is 1 bit a pixel: black where the picture is opaque, white elsewhere
// (for the AND pass).
TBytes ColourDib(const TMetafileImage& image);
TBytes MaskDib(const TMetafileImage& image);
inline constexpr std::size_t kDibHeaderSize = 40;

// Raster operations of the bitmap records.
inline constexpr std::uint32_t kRopSrcCopy = 0x00CC0020;
inline constexpr std::uint32_t kRopSrcAnd = 0x008800C6;
inline constexpr std::uint32_t kRopSrcPaint = 0x00EE0086;

// Pen and brush as the writers create them. A null pen draws no outline, a null brush fills
// nothing.
struct TPenSpec {
  bool Null = true;
  TPackedColor Color = 0;
  std::int32_t Width = 1;  // format units
  int Cap = 0, Join = 0;
  friend bool operator==(const TPenSpec&, const TPenSpec&) = default;
};

// The pen a stroke record draws with: its colour, cap and join, and its width in format
// units (at least one unit, so that hairlines stay visible).
TPenSpec StrokePen(const TMetafileRecord& record, const TCoordinateMap& map);

struct TBrushSpec {
  bool Null = true;
  TPackedColor Color = 0;
  friend bool operator==(const TBrushSpec&, const TBrushSpec&) = default;
};

// The drawing objects in the player's object table and the selection state that SaveDC and
// RestoreDC keep. Slots are handed out lowest first (as a Windows-metafile player assigns
// them). An object selected when a state was saved comes back selected on restore, so it is
// deleted only once no saved state refers to it.
class TGdiObjects {
 public:
  struct TEmitter {
    std::function<void(int slot, const TPenSpec&)> CreatePen;
    std::function<void(int slot, const TBrushSpec&)> CreateBrush;
    std::function<void(int slot)> Select;
    std::function<void(int slot)> Delete;
    std::function<void(int mode)> SetFillMode;      // 1 alternate (even-odd), 2 winding
    std::function<void(int mode)> SetStretchMode;   // 3 colour on colour, 4 halftone
    std::function<void()> SaveDC;
    std::function<void()> RestoreDC;
  };

  explicit TGdiObjects(TEmitter emitter) : m_emit(std::move(emitter)) {}

  void UsePen(const TPenSpec& pen);
  void UseBrush(const TBrushSpec& brush);
  void UseFillMode(int mode);
  void UseStretchMode(int mode);
  void Save();
  // False (nothing emitted) when no state is saved.
  bool Restore();
  // Deletes every object still alive (at the end of the file).
  void Finish();

  // Most objects alive at once: the size the object table needs.
  int MaxSlots() const { return m_maxSlots; }
  int Alive() const;
  std::size_t Depth() const { return m_saved.size(); }

 private:
  struct TObject {
    bool alive = false;
    bool isPen = false;
    TPenSpec pen;
    TBrushSpec brush;
    int pins = 0;  // saved states that have it selected
  };
  struct TState {
    int pen = -1, brush = -1;
    int fillMode = 0, stretchMode = 0;
  };

  int NewSlot();
  void Release(int slot);
  void Collect();

  TEmitter m_emit;
  std::vector<TObject> m_objects;
  TState m_state;
  std::vector<TState> m_saved;
  int m_maxSlots = 0;
};

}  // namespace kestrel::metafile
