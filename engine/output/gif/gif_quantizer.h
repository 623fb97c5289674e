#pragma once
// Octree colour quantiser for GIF output: reduces a picture to at most 256 colours.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kestrel {

struct TGIFColor {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  bool operator==(const TGIFColor&) const = default;
};

// One octree node. Pixels are counted only at leaves; an inner node is on the reducible list of
// its level (linked through Next, newest first) until it is folded into a leaf.
struct TOctreeNode {
  bool Leaf = false;
  std::uint32_t PixelCount = 0;
  // 64-bit sums: 255 × 100 million pixels of one colour overflows 32 bits.
  std::uint64_t RedSum = 0;
  std::uint64_t GreenSum = 0;
  std::uint64_t BlueSum = 0;
  TOctreeNode* Next = nullptr;  // next reducible node of the same level (not owned)
  std::array<std::unique_ptr<TOctreeNode>, 8> Children;
  int PaletteIndex = -1;
};

class TColorQuantizer {
 public:
  // At most `maxColors` (1 to 256) leaves are kept after each row; `colorBits` (1 to 8) is the
  // depth of the tree.
  explicit TColorQuantizer(int maxColors = 256, int colorBits = 8);
  ~TColorQuantizer();
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;

  // Adds one row of red-green-blue triples (a trailing partial triple is ignored), then reduces
  // the tree until at most MaxColors leaves remain.
  void AddRow(std::span<const std::uint8_t> rgb);
  // Adds one colour without reducing.
  void AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // Folds the deepest reducible node into a leaf. False when nothing is left to fold.
  bool ReduceOnce();

  int LeafCount() const { return LeafCount_; }
  int MaxColors() const { return MaxColors_; }

  // The leaf colours in depth-first order (children 0 to 7), each the truncated average of its
  // pixels; numbers the leaves by their position in this list.
  std::vector<TGIFColor> BuildPalette();

 private:
  TOctreeNode* NewNode(std::unique_ptr<TOctreeNode>& slot, int level);
  void Walk(TOctreeNode& node, std::vector<TGIFColor>& palette);

  std::unique_ptr<TOctreeNode> Root_;
  // The leaf the previous colour reached: pages are mostly runs of one colour. Forgotten on
  // every fold, which can replace that leaf.
  TOctreeNode* LastLeaf_ = nullptr;
  std::uint32_t LastColor_ = 0;
  int LeafCount_ = 0;
  std::array<TOctreeNode*, 8> Reducible_{};  // one list per level 0..7
  int MaxColors_;
  int ColorBits_;
};

}  // namespace kestrel
