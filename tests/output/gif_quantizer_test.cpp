// The octree quantiser: exact colours while they fit, reduction of the newest deepest node,
// truncated averages, depth-first palette order, and sums that do not overflow.
#include "engine/output/gif/gif_quantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace kestrel {
namespace {

std::vector<std::uint8_t> Row(const std::vector<TGIFColor>& colors) {
  std::vector<std::uint8_t> row;
  for (const TGIFColor& c : colors) {
    row.push_back(c.Red);
    row.push_back(c.Green);
    row.push_back(c.Blue);
  }
  return row;
}

bool Contains(const std::vector<TGIFColor>& palette, TGIFColor c) {
  return std::find(palette.begin(), palette.end(), c) != palette.end();
}

TEST(GIFQuantizer, SingleColourGivesOneEntry) {
  TColorQuantizer q;
  const std::vector<std::uint8_t> row = Row(std::vector<TGIFColor>(50, {12, 200, 77}));
  for (int y = 0; y < 20; ++y) q.AddRow(row);
  EXPECT_EQ(q.LeafCount(), 1);
  const std::vector<TGIFColor> palette = q.BuildPalette();
  ASSERT_EQ(palette.size(), 1u);
  EXPECT_EQ(palette[0], (TGIFColor{12, 200, 77}));
}

TEST(GIFQuantizer, PaletteFollowsTheTreeDepthFirst) {
  // Child index at each level is red bit × 4 + green bit × 2 + blue bit, so black (0) comes
  // before blue (1), green (2), red (4) and white (7), whatever the order of arrival.
  TColorQuantizer q;
  q.AddRow(Row({{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}}));
  const std::vector<TGIFColor> palette = q.BuildPalette();
  const std::vector<TGIFColor> expected = {
      {0, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
  EXPECT_EQ(palette, expected);
  // Colours that differ only in the last bit are separate leaves, ordered by that bit.
  TColorQuantizer fine;
  fine.AddRow(Row({{11, 11, 11}, {10, 10, 11}, {10, 10, 10}}));
  EXPECT_EQ(fine.BuildPalette(),
            (std::vector<TGIFColor>{{10, 10, 10}, {10, 10, 11}, {11, 11, 11}}));
}

TEST(GIFQuantizer, UpTo256ColoursStayExact) {
  TColorQuantizer q;
  std::vector<TGIFColor> colors;
  for (int i = 0; i < 256; ++i) {
    colors.push_back({std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t((i * 37) & 0xFF)});
  }
  q.AddRow(Row(colors));
  EXPECT_EQ(q.LeafCount(), 256);
  const std::vector<TGIFColor> palette = q.BuildPalette();
  ASSERT_EQ(palette.size(), 256u);
  for (const TGIFColor& c : colors) EXPECT_TRUE(Contains(palette, c));
}

TEST(GIFQuantizer, ReductionFoldsTheNewestDeepestNodeWithTruncatedAverage) {
  // 255 colours that differ in their top bits, then 10 and 11 (grey) which share every node
  // down to level 7: the last level-7 node made is theirs, so it is the one folded.
  std::vector<TGIFColor> colors;
  for (int i = 0; i < 255; ++i) {
    const int r = (i % 8) * 32 + 16, g = ((i / 8) % 8) * 32 + 16, b = (i / 64) * 64 + 16;
    colors.push_back({std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)});
  }
  colors.push_back({10, 10, 10});
  for (int i = 0; i < 3; ++i) colors.push_back({11, 11, 11});
  TColorQuantizer q;
  q.AddRow(Row(colors));
  EXPECT_EQ(q.LeafCount(), 256);
  const std::vector<TGIFColor> palette = q.BuildPalette();
  ASSERT_EQ(palette.size(), 256u);
  // (10 + 3 × 11) / 4 = 10.75, truncated.
  EXPECT_TRUE(Contains(palette, {10, 10, 10}));
  EXPECT_FALSE(Contains(palette, {11, 11, 11}));
  for (int i = 0; i < 255; ++i) EXPECT_TRUE(Contains(palette, colors[i])) << i;
}

TEST(GIFQuantizer, ReducesOnlyAfterAWholeRow) {
  TColorQuantizer q;
  for (int i = 0; i < 300; ++i) q.AddColor(std::uint8_t(i), std::uint8_t(i / 2), 7);
  EXPECT_EQ(q.LeafCount(), 300);  // no reduction inside a row
  q.AddRow({});
  EXPECT_LE(q.LeafCount(), 256);
  EXPECT_GT(q.LeafCount(), 1);
  EXPECT_EQ(q.BuildPalette().size(), std::size_t(q.LeafCount()));
}

TEST(GIFQuantizer, ManyColoursReduceToAtMost256CloseOnes) {
  TColorQuantizer q;
  std::vector<std::uint8_t> row;
  for (int y = 0; y < 256; ++y) {
    row.clear();
    for (int x = 0; x < 256; ++x) {
      row.push_back(std::uint8_t(x));
      row.push_back(std::uint8_t(y));
      row.push_back(std::uint8_t((x * y) >> 8));
    }
    q.AddRow(row);
    ASSERT_LE(q.LeafCount(), 256);
  }
  const std::vector<TGIFColor> palette = q.BuildPalette();
  EXPECT_EQ(palette.size(), std::size_t(q.LeafCount()));
  EXPECT_GT(palette.size(), 64u);
  std::set<std::uint32_t> distinct;
  for (const TGIFColor& c : palette) distinct.insert((c.Red << 16) | (c.Green << 8) | c.Blue);
  EXPECT_EQ(distinct.size(), palette.size());
}

TEST(GIFQuantizer, SumsOfAHugeSingleColourAreaDoNotOverflow) {
  // 17 million white pixels: 255 × 17e6 passes 2^32.
  TColorQuantizer q;
  const std::vector<std::uint8_t> row(65536 * 3, 255);
  for (int y = 0; y < 260; ++y) q.AddRow(row);
  const std::vector<TGIFColor> palette = q.BuildPalette();
  ASSERT_EQ(palette.size(), 1u);
  EXPECT_EQ(palette[0], (TGIFColor{255, 255, 255}));
}

TEST(GIFQuantizer, SmallerTreesAndEmptyInput) {
  TColorQuantizer empty;
  EXPECT_TRUE(empty.BuildPalette().empty());
  EXPECT_FALSE(empty.ReduceOnce());
  // With 8 colours at most, every row is folded back to 8 leaves or fewer.
  TColorQuantizer eight(8, 8);
  std::vector<std::uint8_t> row;
  for (int i = 0; i < 64; ++i) {
    row.insert(row.end(), {std::uint8_t(i * 4), std::uint8_t(255 - i * 4), std::uint8_t(i)});
  }
  eight.AddRow(row);
  EXPECT_LE(eight.LeafCount(), 8);
  // Folding the root leaves one leaf and nothing else to fold.
  TColorQuantizer one(1, 8);
  one.AddRow(row);
  EXPECT_EQ(one.LeafCount(), 1);
  EXPECT_FALSE(one.ReduceOnce());
  const std::vector<TGIFColor> p = one.BuildPalette();
  ASSERT_EQ(p.size(), 1u);
  // The average of i × 4 for i < 64 is 126; of 255 − i × 4 is 129; of i is 31.
  EXPECT_EQ(p[0], (TGIFColor{126, 129, 31}));
}

}  // namespace
}  // namespace kestrel
