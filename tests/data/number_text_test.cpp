#include "data/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvane {
namespace {

TEST(GroupThousandsTest, InsertsSeparatorsByLengthAndSign) {
  const struct {
    const char* text;
    const char* grouped;
  } cases[] = {
      {"1234567", "1,234,567"},
      {"-1234", "-1,234"},
      {"123", "123"},
      {"1234", "1,234"},
      {"-123", "-123"},
      {"-123456", "-123,456"},
      {"0", "0"},
      {"0000", "0000"},  // zero counts as not positive: four characters stay ungrouped
      {"00001", "00,001"},
      {"", ""},
      // At most five separators: the sixth group is left alone.
      {"1234567890123456789", "1234,567,890,123,456,789"},
      {"-1234567890123456", "-1,234,567,890,123,456"},
      {"+1234", "+1,234"},
  };
  for (const auto& c : cases) EXPECT_EQ(GroupThousands(c.text), c.grouped) << c.text;
}

TEST(GroupThousandsTest, NeverSplitsAWideCharacter) {
  // "12평" is four CP949 bytes: the "," goes where three bytes remain, which is after "1".
  EXPECT_EQ(GroupThousands("12평"), "1,2평");
  EXPECT_EQ(GroupThousands("1평"), "1평");
  // Three bytes from the end of "1평평" is the middle of a character: no separator there.
  EXPECT_EQ(GroupThousands("1평평"), "1평평");
}

TEST(NumberTextTest, FormatsWithDecimalsAndBlanksBareZero) {
  EXPECT_EQ(NumberText(1234567.0, 0), "1234567");
  EXPECT_EQ(GroupThousands(NumberText(1234567.0, 0)), "1,234,567");
  EXPECT_EQ(NumberText(-1.5, 2) + "%", "-1.50%");
  EXPECT_EQ(NumberText(0.0, 2), "0.00");
  EXPECT_EQ(NumberText(0.0, 0), "");
  EXPECT_EQ(NumberText(0.4, 0), "");
  EXPECT_EQ(NumberText(-0.4, 0), "-0");
  EXPECT_EQ(NumberText(2.5, 0), "2");  // ties go to even, as printf rounds
  EXPECT_EQ(NumberText(1e300, 2).size(), 304u);
  EXPECT_EQ(NumberText(std::numeric_limits<double>::quiet_NaN(), 2), "nan");
  EXPECT_EQ(NumberText(1.0, -3), "1");
  EXPECT_EQ(NumberText(1.0, 500).size(), 101u);
}

TEST(ScientificToFixedTest, ConvertsEveryExponentForm) {
  const struct {
    const char* field;
    const char* fixed;
  } cases[] = {
      {"1.5E-03", "0.001500000"},
      {"2.0E-3", "0.002000000"},
      {"1.5E+05", "150000.000000000"},
      {"1.5e5", "150000.000000000"},
      {"-1.25E-05", "-0.000012500"},
      {"+4E0", "4.000000000"},
      {".5e1", "5.000000000"},
      {"7.E-1", "0.700000000"},
      {"1.2345678E-03", "0.001234568"},
      {"1E-400", "0.000000000"},
      {"1E-0000000000000000000003", "0.001000000"},
      {"1.5E+99999", "1.5E+99999"},  // beyond a double: kept as written
  };
  for (const auto& c : cases) {
    const auto fixed = ScientificToFixed(c.field);
    ASSERT_TRUE(fixed.has_value()) << c.field;
    EXPECT_EQ(*fixed, c.fixed) << c.field;
  }
  for (const char* other : {"E-mart", "1.5E-", "1.5", "E5", "1.5E-3x", "1.5E--3", " 1E3", "1e3.5",
                            "--1E3", ".E3", "", "inf", "0x1p3"}) {
    EXPECT_FALSE(ScientificToFixed(other).has_value()) << other;
  }
}

TEST(TextToNumberTest, ReadsTheLeadingPartLikeAtofAndAtoi) {
  const struct {
    const char* text;
    double value;
  } doubles[] = {
      {"12abc", 12}, {"abc", 0}, {"  -3.5e2x", -350}, {"+4", 4}, {".5", 0.5},
      {"1,234", 1},  {"--5", 0}, {"0x1A", 26},        {"0x", 0}, {"1e-400", 0},
      {"", 0},       {"-", 0},   {"1.", 1},           {"3e", 3}, {"0.001500000", 0.0015},
  };
  for (const auto& c : doubles) EXPECT_EQ(TextToDouble(c.text), c.value) << c.text;
  EXPECT_EQ(TextToDouble("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToDouble("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToDouble("inf"), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(TextToDouble("nan")));

  EXPECT_EQ(TextToInt("202307"), 202307);
  EXPECT_EQ(TextToInt("2023.07"), 2023);
  EXPECT_EQ(TextToInt(" +7x"), 7);
  EXPECT_EQ(TextToInt("-12"), -12);
  EXPECT_EQ(TextToInt("abc"), 0);
  EXPECT_EQ(TextToInt("99999999"), 99999999);
  EXPECT_EQ(TextToInt("99999999999999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(TextToInt("-99999999999999999999"), std::numeric_limits<std::int32_t>::min());
}

}  // namespace
}  // namespace orvane
