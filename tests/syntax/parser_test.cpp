#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/syntax/stream_locator.h"
#include "engine/syntax/structure.h"

using namespace kestrel;

namespace {

std::string Text(TPDFStructure& pool, const std::string& in) { return pool.ParseObject(in)->ToText(); }

}  // namespace

TEST(ParserDictionaries, RepeatedKeyKeepsFirstPositionWithLastValue) {
  TPDFStructure pool;
  auto* d = As<TPDFDictionary>(pool.ParseObject("<< /A 1 /B 2 /A 3 >>"));
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->Count(), 2);
  EXPECT_EQ(d->EntryAt(0).first->Value, "A");
  EXPECT_EQ(As<TPDFNumeric>(d->EntryAt(0).second)->Value, 3);
  EXPECT_EQ(As<TPDFNumeric>(d->GetValue("B"))->Value, 2);
}

TEST(ParserDictionaries, CompactSyntaxAndReferences) {
  TPDFStructure pool;
  auto* d = As<TPDFDictionary>(pool.ParseObject("<</Type/Page/Parent 3 0 R>>"));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetTypeName(), "Page");
  auto* parent = As<TPDFIndRef>(d->GetValue("Parent", false));
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->RefObjNum, 3);
  EXPECT_EQ(parent->RefGenNum, 0);
  EXPECT_EQ(Text(pool, "<<>>"), "<<\n>>\n");
}

TEST(ParserDictionaries, EveryKeyFoundInEveryOrder) {
  // An annotation's entries written in every order (numbers next to references, keys that
  // share letters): each key is found with its own value, wherever it stands.
  std::vector<std::pair<std::string, std::string>> entries = {
      {"/F", "4"}, {"/OC", "6 0 R"}, {"/AP", "<< /N 11 0 R >>"},
      {"/Rect", "[300 150 500 300]"}, {"/FT", "/Btn"}, {"/O", "7"}};
  std::sort(entries.begin(), entries.end());
  do {
    std::string text = "<<";
    for (const auto& [key, value] : entries) text += " " + key + " " + value;
    TPDFStructure pool;
    auto* d = As<TPDFDictionary>(pool.ParseObject(text + " >>"));
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->Count(), 6) << text;
    for (const auto& [key, value] : entries)
      EXPECT_EQ(Text(pool, value), d->GetValue(key.substr(1), false)->ToText()) << text;
  } while (std::next_permutation(entries.begin(), entries.end()));
}

TEST(ParserArrays, NumbersAndReferenceLookAhead) {
  TPDFStructure pool;
  EXPECT_EQ(Text(pool, "[1 2 3]"), "[ 1 2 3 ]");
  EXPECT_EQ(Text(pool, "[1 0 R 2 0 R]"), "[ 1 0 R 2 0 R ]");
  EXPECT_EQ(Text(pool, "[1 2 R]"), "[ 1 2 R ]");
  // A token with a point never starts a reference; "R" then reads nothing and ends the array.
  EXPECT_EQ(Text(pool, "[1.5 0 R]"), "[ 1.5 0 ]");
}

TEST(ParserNumbers, Forms) {
  TPDFStructure pool;
  auto value = [&](const char* s) { return As<TPDFNumeric>(pool.ParseObject(s))->Value; };
  EXPECT_DOUBLE_EQ(value("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(value("5."), 5);
  EXPECT_DOUBLE_EQ(value(".5"), 0.5);
  EXPECT_DOUBLE_EQ(value("0.1234567891"), 0.123456789);
  EXPECT_DOUBLE_EQ(value("123456789"), 123456789);
  EXPECT_DOUBLE_EQ(value("-12"), -12);
  EXPECT_DOUBLE_EQ(value("1e5"), 1);
  EXPECT_EQ(pool.ParseObject("+5")->TypeCode(), TPDFNull::kTypeCode);
}

TEST(ParserStrings, LiteralEscapes) {
  TPDFStructure pool;
  auto str = [&](const std::string& s) { return As<TPDFString>(pool.ParseObject(s))->Value; };
  EXPECT_EQ(str("(a\\101b)"), "aAb");
  EXPECT_EQ(str("(a\\1b)"), std::string("a\x01") + "b");
  EXPECT_EQ(str("(a\\x)"), "ax");
  EXPECT_EQ(str("(line\\\nnext)"), "linenext");
  EXPECT_EQ(str("(p(q)r)"), "p(q)r");
  EXPECT_EQ(str("(a\r\nb\rc)"), "a\nb\nc");
  EXPECT_EQ(str("(\\(\\)\\\\)"), "()\\");
  // Unbalanced parentheses read nothing.
  EXPECT_EQ(pool.ParseObject("(open")->TypeCode(), TPDFNull::kTypeCode);
}

TEST(ParserStrings, HexStrings) {
  TPDFStructure pool;
  auto str = [&](const std::string& s) { return As<TPDFString>(pool.ParseObject(s)); };
  EXPECT_EQ(str("<48 65 6C6C 6F>")->Value, "Hello");
  EXPECT_EQ(str("<123>")->Value, "\x12\x30");
  EXPECT_EQ(str("<48>")->Form, TPDFString::kHex);
}

TEST(ParserNames, EscapesAndEmpty) {
  TPDFStructure pool;
  auto name = [&](const std::string& s) { return As<TPDFName>(pool.ParseObject(s))->Value; };
  EXPECT_EQ(name("/A#42C"), "ABC");
  EXPECT_EQ(name("/A#4"), "A#4");
  EXPECT_EQ(name("/"), "");
  EXPECT_EQ(name("/Name/Other"), "Name");
}

TEST(ParserKeywords, NeedADelimiterAfter) {
  TPDFStructure pool;
  EXPECT_EQ(pool.ParseObject("trueX")->TypeCode(), TPDFNull::kTypeCode);
  auto* a = As<TPDFArray>(pool.ParseObject("[true]"));
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->Count(), 1);
  EXPECT_TRUE(As<TPDFBoolean>(a->Item(0))->Value);
  EXPECT_EQ(pool.ParseObject("null")->TypeCode(), TPDFNull::kTypeCode);
}

TEST(ParserSkipping, CommentsWhitespaceAndConsumed) {
  TPDFStructure pool;
  EXPECT_EQ(As<TPDFNumeric>(pool.ParseObject("% comment\n42"))->Value, 42);
  EXPECT_EQ(pool.ParseObject("")->TypeCode(), TPDFNull::kTypeCode);
  EXPECT_EQ(pool.ParseObject(" \r\n\t")->TypeCode(), TPDFNull::kTypeCode);
  std::size_t consumed = 0;
  pool.ParseObjectAt("  12 0 obj", consumed);
  EXPECT_EQ(consumed, 4u);
}

TEST(ParserRobustness, DeepNestingDoesNotOverflowTheStack) {
  TPDFStructure pool;
  std::string deep(200000, '[');
  TPDFObject* obj = pool.ParseObject(deep);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->TypeCode(), TPDFArray::kTypeCode);
  std::string dicts;
  for (int i = 0; i < 100000; ++i) dicts += "<< /A ";
  EXPECT_NE(pool.ParseObject(dicts), nullptr);
}

TEST(ParserContentOperands, DecodeStringOperands) {
  EXPECT_EQ(TPDFStructure::DecodeHexString("<4G>"), std::string(1, '\0'));
  EXPECT_EQ(TPDFStructure::DecodeHexString("<414>"), "A@");
  EXPECT_EQ(TPDFStructure::DecodeHexString("414"), "");
  // Content-stream literals keep raw CR.
  EXPECT_EQ(TPDFStructure::DecodeLiteralString("(a\rb)"), "a\rb");
  EXPECT_EQ(TPDFStructure::DecodeLiteralString("(\\053\\n)"), "+\n");
}

TEST(ParserStreams, DataStartFollowsTheLineEndAfterTheKeyword) {
  struct Case {
    std::string Text, Data;
  };
  const Case cases[] = {
      // Data ending in CR or LF right before "endstream", with no line end of its own there
      // (qpdf writes encrypted streams so).
      {"<< /Length 3 >>\nstream\nab\rendstream", "ab\r"},
      {"<< /Length 3 >>\nstream\nab\nendstream", "ab\n"},
      // The same after CR LF (a writer leaving the line end out when the data ends in one).
      {"<< /Length 3 >>\nstream\r\nab\rendstream", "ab\r"},
      // No line end after the keyword at all.
      {"<< /Length 2 >>\nstreamab\nendstream", "ab"},
      {"<< /Length 2 >>\nstream  \nab\nendstream", "ab"},
  };
  for (const Case& c : cases) {
    TPDFStructure pool;
    bool matched = false;
    auto* stream = As<TPDFStream>(ParseIndirectObjectText(c.Text, pool, nullptr, &matched));
    ASSERT_NE(stream, nullptr) << c.Text;
    EXPECT_EQ(stream->Data(), c.Data) << c.Text;
    EXPECT_TRUE(matched) << c.Text;
  }
}
