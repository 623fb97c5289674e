#include <gtest/gtest.h>

#include "app/text_encoding.h"

namespace {

using plover::DecodeIniText;
using plover::GbkToUtf8;
using plover::IsValidUtf8;
using plover::Utf8ToGbk;

TEST(TextEncoding, RecognisesWellFormedUtf8) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain ASCII"));
  EXPECT_TRUE(IsValidUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"));      // 你好
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));              // U+1F600
  EXPECT_FALSE(IsValidUtf8("\xC4\xE3\xBA\xC3"));             // 你好 in GBK
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                     // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));                 // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));             // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE4\xBD"));                     // cut off
  EXPECT_FALSE(IsValidUtf8("abc\x80"));                      // lone continuation byte
}

TEST(TextEncoding, ConvertsBetweenGbkAndUtf8) {
  EXPECT_EQ(GbkToUtf8("\xC4\xE3\xBA\xC3"), "\xE4\xBD\xA0\xE5\xA5\xBD");
  EXPECT_EQ(GbkToUtf8("ab"), "ab");
  // The full-width exclamation mark of the English message T4, and Chinese quotation marks.
  EXPECT_EQ(Utf8ToGbk("\xEF\xBC\x81"), std::optional<std::string>("\xA3\xA1"));
  EXPECT_EQ(Utf8ToGbk("\xE2\x80\x9C\xE2\x80\x9D"), std::optional<std::string>("\xA1\xB0\xA1\xB1"));
  const std::string text = "\xE8\xBD\xAC\xE6\x8D\xA2 Convert\r\n";  // 转换
  const std::optional<std::string> gbk = Utf8ToGbk(text);
  ASSERT_TRUE(gbk.has_value());
  EXPECT_NE(*gbk, text);
  EXPECT_EQ(GbkToUtf8(*gbk), text);
}

TEST(TextEncoding, BadInputIsReplacedOrRefused) {
  // A lead byte without its second byte, in the middle and at the end.
  EXPECT_EQ(GbkToUtf8("a\xC4"), "a\xEF\xBF\xBD");
  const std::string mixed = GbkToUtf8(std::string("\xC4\xE3\xFF\xBA\xC3", 5));
  EXPECT_TRUE(IsValidUtf8(mixed));
  EXPECT_NE(mixed.find("\xE4\xBD\xA0"), std::string::npos);
  EXPECT_NE(mixed.find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_FALSE(Utf8ToGbk("\xF0\x9F\x98\x80").has_value());  // an emoji has no GBK form
  EXPECT_FALSE(Utf8ToGbk("\xC4\xE3").has_value());          // not UTF-8 at all
}

TEST(TextEncoding, IniTextAcceptsBothEncodings) {
  EXPECT_EQ(DecodeIniText("\xEF\xBB\xBFkey=\xE4\xBD\xA0"), "key=\xE4\xBD\xA0");
  EXPECT_EQ(DecodeIniText("key=\xC4\xE3"), "key=\xE4\xBD\xA0");
  EXPECT_EQ(DecodeIniText("key=\xE4\xBD\xA0"), "key=\xE4\xBD\xA0");
}

}  // namespace
