#include <gtest/gtest.h>

#include "engine/syntax/structure.h"

using namespace kestrel;

TEST(ObjectsWriting, NumbersNamesStrings) {
  TPDFStructure pool;
  EXPECT_EQ(pool.NewNumeric(7)->ToText(), "7");
  EXPECT_EQ(pool.NewNumeric(0.00004)->ToText(), "0");
  EXPECT_EQ(pool.NewNumeric(0.5)->ToText(), "0.5");
  EXPECT_EQ(pool.NewNumeric(1.23456)->ToText(), "1.2346");
  EXPECT_EQ(pool.NewNumeric(-3.1)->ToText(), "-3.1");
  EXPECT_EQ(pool.NewName("A B")->ToText(), "/A#20B");
  EXPECT_EQ(pool.NewName("x}")->ToText(), "/x#7D");
  EXPECT_EQ(pool.NewString(std::string("()\\\n\x0b", 5), TPDFString::kLiteral)->ToText(),
            std::string("(\\(\\)\\\\\\n\x0b)"));
  EXPECT_EQ(pool.NewString("\x01\xAB", TPDFString::kHex)->ToText(), "<01AB>");
  EXPECT_EQ(pool.NewIndRef(12, 0)->ToText(), "12 0 R");
}

TEST(ObjectsWriting, ContainersAndStreams) {
  TPDFStructure pool;
  EXPECT_EQ(pool.NewNumberArray({1, 2, 3})->ToText(), "[ 1 2 3 ]");
  EXPECT_EQ(pool.NewDictionary()->ToText(), "<<\n>>\n");
  auto* s = pool.NewStream("abc", false);
  EXPECT_EQ(s->ToText(), "<<\n/Length 3\n>>\nstream\nabc\nendstream");
  // A long array breaks its lines after about 80 characters and parses back the same.
  std::vector<int32_t> many(100, 123456);
  TBytes text = pool.NewNumberArray(many)->ToText();
  EXPECT_NE(text.find('\n'), TBytes::npos);
  EXPECT_EQ(As<TPDFArray>(pool.ParseObject(text))->Count(), 100);
}

TEST(ObjectsNumbers, AsIntegerRoundsHalfToEven) {
  TPDFStructure pool;
  EXPECT_EQ(pool.NewNumeric(2.5)->AsInteger(), 2);
  EXPECT_EQ(pool.NewNumeric(3.5)->AsInteger(), 4);
  EXPECT_EQ(pool.NewNumeric(-2.5)->AsInteger(), -2);
  EXPECT_EQ(pool.NewNumeric(1e300)->AsInteger(), 2147483647);
}

TEST(ObjectsDictionary, SetValueAndDelete) {
  TPDFStructure pool;
  auto* d = pool.NewDictionary();
  d->SetValue("A", pool.NewNumeric(1));
  d->SetValue("B", pool.NewNumeric(2));
  d->SetValue("A", pool.NewNumeric(3));
  ASSERT_EQ(d->Count(), 2);
  EXPECT_EQ(d->EntryAt(0).first->Value, "A");
  EXPECT_EQ(d->GetInteger("A", 0), 3);
  d->SetValue("Self", d);
  EXPECT_EQ(d->IndexOf("Self"), -1);
  d->DeleteKey("A");
  EXPECT_EQ(d->Count(), 1);
  EXPECT_EQ(d->GetInteger("A", -1), -1);
}

TEST(ObjectsDictionary, CopyFromOtherPoolMakesNewObjects) {
  TPDFStructure a, b;
  auto* src = As<TPDFDictionary>(a.ParseObject("<< /K [1 2] /N /x >>"));
  auto* dst = b.NewDictionary();
  dst->CopyFrom(src);
  ASSERT_EQ(dst->Count(), 2);
  EXPECT_EQ(dst->GetValue("K")->Owner(), &b);
  auto* same = a.NewDictionary();
  same->CopyFrom(src);
  EXPECT_EQ(same->GetValue("K"), src->GetValue("K"));
}

TEST(ObjectsPool, ReleaseKeepsObjectsStillReferred) {
  TPDFStructure pool;
  auto* shared = pool.NewDictionary();
  auto* a = pool.NewDictionary();
  auto* b = pool.NewDictionary();
  a->SetValue("X", shared);
  b->SetValue("X", shared);
  const std::size_t before = pool.ObjectCount();
  a->Release();
  // `a` went, but `shared` stays because `b` still holds it.
  EXPECT_LT(pool.ObjectCount(), before);
  EXPECT_EQ(b->GetValue("X"), shared);
  EXPECT_EQ(shared->Count(), 0);
}

TEST(ObjectsString, AsUnicode) {
  TPDFStructure pool;
  EXPECT_EQ(pool.NewString(std::string("\xFE\xFF\x00\x41\x00\xE9", 6), TPDFString::kLiteral)->AsUnicode(), "A\xC3\xA9");
  EXPECT_EQ(pool.NewString("\x80", TPDFString::kLiteral)->AsUnicode(), "\xE2\x80\xA2");
}

TEST(ObjectsReference, ResolvesThroughThePoolHandler) {
  TPDFStructure pool;
  auto* target = pool.NewNumeric(9);
  auto* ref = pool.NewIndRef(4, 0);
  EXPECT_EQ(ref->Resolve(), nullptr);
  pool.OnResolveRef = [&](TPDFIndRef*, int32_t num, int32_t) -> TPDFObject* { return num == 4 ? target : nullptr; };
  EXPECT_EQ(ref->Resolve(), target);
  auto* d = pool.NewDictionary();
  d->SetValue("N", ref);
  EXPECT_EQ(d->GetInteger("N", 0), 9);
  EXPECT_EQ(d->GetValue("N", false), ref);
}
