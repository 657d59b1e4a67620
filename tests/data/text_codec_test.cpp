#include "data/text_codec.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

constexpr char kAptCp949[] = "\xBE\xC6\xC6\xC4\xC6\xAE";  // "아파트"
constexpr char kReplacement[] = "\xEF\xBF\xBD";

TEST(TextCodecTest, RoundTripsKoreanText) {
  EXPECT_EQ(DecodeCp949(kAptCp949), "아파트");
  EXPECT_EQ(EncodeCp949("아파트"), kAptCp949);
  EXPECT_EQ(DecodeCp949("Orvane 2023.07"), "Orvane 2023.07");
  // Hangul outside the KS X 1001 set comes from the UHC extension of CP949.
  EXPECT_EQ(DecodeCp949(EncodeCp949("똠방각하")), "똠방각하");
}

TEST(TextCodecTest, ReplacesInvalidSequencesAndKeepsGoing) {
  EXPECT_EQ(DecodeCp949("\xFF"), kReplacement);
  EXPECT_EQ(DecodeCp949("a\xBE"), std::string("a") + kReplacement);  // cut off at the end
  EXPECT_EQ(DecodeCp949(std::string("\xC9\x20", 2) + kAptCp949),
            std::string(kReplacement) + " 아파트");
  EXPECT_TRUE(IsValidUtf8(DecodeCp949(std::string("\x80\x00\xFE\xFE\xFF\x81", 6))));
  // An unassigned two-byte code that iconv reads past before reporting it: one replacement,
  // the next character kept, and nothing read beyond the end (found by fuzz_login_reply).
  EXPECT_EQ(DecodeCp949("x\xA2\xE8yz"), std::string("x") + kReplacement + "yz");
  EXPECT_EQ(DecodeCp949("\xA2\xE8"), kReplacement);
  EXPECT_EQ(DecodeCp949(std::string("h\xA1\x99\xA2\xE8", 5)),
            "h" + DecodeCp949("\xA1\x99") + kReplacement);
  EXPECT_EQ(EncodeCp949("a😀b"), "a?b");
  EXPECT_EQ(EncodeCp949("a\xFF"), "a?");
}

TEST(TextCodecTest, CountsCp949Bytes) {
  EXPECT_EQ(Cp949ByteCount("abc"), 3u);
  EXPECT_EQ(Cp949ByteCount("아파트"), 6u);
  EXPECT_EQ(Cp949ByteCount("·"), 2u);
  EXPECT_EQ(Cp949ByteCount("😀"), 1u);  // sent as "?"
}

TEST(TextCodecTest, ChecksUtf8Strictly) {
  EXPECT_TRUE(IsValidUtf8("아파트 지수 2023"));
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("abcdefgh\xEA\xB0"));  // cut off
  EXPECT_FALSE(IsValidUtf8(kAptCp949));
}

TEST(TextCodecTest, FileTextIsUtf8AsItIsOrDecodedCp949) {
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF아파트"), "아파트");
  EXPECT_EQ(DecodeFileText("아파트;1"), "아파트;1");
  EXPECT_EQ(DecodeFileText(std::string(kAptCp949) + ";1"), "아파트;1");
}

}  // namespace
}  // namespace orvane
