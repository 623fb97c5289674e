#include "engine/output/gif/gif_quantizer.h"

#include <algorithm>

namespace kestrel {

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : MaxColors_(std::clamp(maxColors, 1, 256)), ColorBits_(std::clamp(colorBits, 1, 8)) {}

// Deep trees are freed level by level through the unique_ptr children; depth is at most 9,
// so the recursion of the default destructor is bounded.
TColorQuantizer::~TColorQuantizer() = default;

TOctreeNode* TColorQuantizer::NewNode(std::unique_ptr<TOctreeNode>& slot, int level) {
  slot = std::make_unique<TOctreeNode>();
  TOctreeNode* node = slot.get();
  if (level == ColorBits_) {
    node->Leaf = true;
    ++LeafCount_;
  } else {
    node->Next = Reducible_[level];
    Reducible_[level] = node;
  }
  return node;
}

void TColorQuantizer::AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t color = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
  if (LastLeaf_ && color == LastColor_) {
    ++LastLeaf_->PixelCount;
    LastLeaf_->RedSum += red;
    LastLeaf_->GreenSum += green;
    LastLeaf_->BlueSum += blue;
    return;
  }
  std::unique_ptr<TOctreeNode>* slot = &Root_;
  for (int level = 0;; ++level) {
    TOctreeNode* node = *slot ? slot->get() : NewNode(*slot, level);
    if (node->Leaf) {
      ++node->PixelCount;
      node->RedSum += red;
      node->GreenSum += green;
      node->BlueSum += blue;
      LastLeaf_ = node;
      LastColor_ = color;
      return;
    }
    const int shift = 7 - level;
    const int mask = 0x80 >> level;
    const int index = (((red & mask) >> shift) << 2) | (((green & mask) >> shift) << 1) |
                      ((blue & mask) >> shift);
    slot = &node->Children[index];
  }
}

bool TColorQuantizer::ReduceOnce() {
  int level = ColorBits_ - 1;
  while (level > 0 && !Reducible_[level]) --level;
  TOctreeNode* node = Reducible_[level];
  // Only the root is left and it is a leaf already: nothing to fold.
  if (!node) return false;
  LastLeaf_ = nullptr;
  Reducible_[level] = node->Next;
  node->Next = nullptr;
  int children = 0;
  for (std::unique_ptr<TOctreeNode>& child : node->Children) {
    if (!child) continue;
    node->PixelCount += child->PixelCount;
    node->RedSum += child->RedSum;
    node->GreenSum += child->GreenSum;
    node->BlueSum += child->BlueSum;
    child.reset();
    ++children;
  }
  node->Leaf = true;
  LeafCount_ -= children - 1;
  return true;
}

void TColorQuantizer::AddRow(std::span<const std::uint8_t> rgb) {
  for (std::size_t i = 0; i + 3 <= rgb.size(); i += 3) AddColor(rgb[i], rgb[i + 1], rgb[i + 2]);
  while (LeafCount_ > MaxColors_ && ReduceOnce()) {
  }
}

void TColorQuantizer::Walk(TOctreeNode& node, std::vector<TGIFColor>& palette) {
  if (node.Leaf) {
    node.PaletteIndex = static_cast<int>(palette.size());
    TGIFColor c;
    if (node.PixelCount != 0) {
      c.Red = static_cast<std::uint8_t>(node.RedSum / node.PixelCount);
      c.Green = static_cast<std::uint8_t>(node.GreenSum / node.PixelCount);
      c.Blue = static_cast<std::uint8_t>(node.BlueSum / node.PixelCount);
    }
    palette.push_back(c);
    return;
  }
  for (std::unique_ptr<TOctreeNode>& child : node.Children) {
    if (child) Walk(*child, palette);
  }
}

std::vector<TGIFColor> TColorQuantizer::BuildPalette() {
  std::vector<TGIFColor> palette;
  palette.reserve(static_cast<std::size_t>(LeafCount_));
  if (Root_) Walk(*Root_, palette);
  return palette;
}

}  // namespace kestrel
