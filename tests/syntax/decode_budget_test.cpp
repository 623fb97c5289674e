// The decoded-bytes budget: every stage of a chain is charged, and a page's streams share one.
#include <gtest/gtest.h>

#include "engine/syntax/decode_budget.h"
#include "engine/syntax/filters.h"
#include "engine/syntax/structure.h"

namespace kestrel {
namespace {

TPDFStream* StreamOf(TPDFStructure& pool, const std::string& dict, TBytes data) {
  auto* d = As<TPDFDictionary>(pool.ParseObject(dict));
  return pool.NewStreamOf(d ? d : pool.NewDictionary(), std::move(data));
}

TEST(DecodeBudget, StreamsShareItAndTheLastOneIsCut) {
  TPDFStructure pool;
  TPDFStream* bomb = StreamOf(pool, "<< /Filter /FlateDecode >>", DeflateBytes(TBytes(100000, ' ')));
  TDecodeBudget page(250000);
  EXPECT_EQ(bomb->Decode(&page).size(), 100000u);
  EXPECT_EQ(bomb->Decode(&page).size(), 100000u);
  EXPECT_FALSE(page.Exhausted());
  EXPECT_EQ(bomb->Decode(&page).size(), 50000u);
  EXPECT_TRUE(page.Exhausted());
  EXPECT_TRUE(bomb->Decode(&page).empty());
  // Without a budget the stream decodes whole.
  EXPECT_EQ(bomb->Decode().size(), 100000u);
}

TEST(DecodeBudget, EveryStageOfAChainIsCharged) {
  TPDFStructure pool;
  // "3431" is the hex of "41", itself the hex of "A": 2 bytes, then 1, are charged.
  TPDFStream* chain = StreamOf(pool, "<< /Filter [/ASCIIHexDecode /ASCIIHexDecode] >>", TBytes("3431>"));
  TDecodeBudget budget(100);
  EXPECT_EQ(chain->Decode(&budget), "A");
  EXPECT_EQ(budget.Left(), 100u - 2 - 1);
  // A chain stopped before its last stage gives nothing, not half-decoded bytes.
  TDecodeBudget tiny(2);
  EXPECT_EQ(chain->Decode(&tiny), "");
  EXPECT_TRUE(tiny.Exhausted());
}

}  // namespace
}  // namespace kestrel
