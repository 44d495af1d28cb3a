#include <gtest/gtest.h>

#include "settings/settings_text.h"

namespace {

SettingsRect Parse(const char* text) {
  SettingsRect rect = {-1, -1, -1, -1};
  ParseRectText(text, &rect);
  return rect;
}

void ExpectRect(const SettingsRect& rect, int32_t left, int32_t top, int32_t right,
                int32_t bottom) {
  EXPECT_EQ(rect.left, left);
  EXPECT_EQ(rect.top, top);
  EXPECT_EQ(rect.right, right);
  EXPECT_EQ(rect.bottom, bottom);
}

TEST(ParseDecimal, TakesEveryCharacterAsADigitModulo65536) {
  EXPECT_EQ(ParseDecimal("123"), 123);
  EXPECT_EQ(ParseDecimal(""), 0);
  EXPECT_EQ(ParseDecimal("-5"), 65511);      // (-3) * 10 + 5
  EXPECT_EQ(ParseDecimal("65537"), 1);
  EXPECT_EQ(ParseDecimal("\xB0"), static_cast<uint16_t>(-80 - 48));  // a signed 8-bit code
}

TEST(ParseRectText, SplitsAtTheFirstThreeCommas) {
  ExpectRect(Parse("10,20,300,400"), 10, 20, 300, 400);
  ExpectRect(Parse("10,20,30"), 0, 0, 0, 0);
  ExpectRect(Parse(""), 0, 0, 0, 0);
  ExpectRect(Parse("1,2,3,4,5"), 1, 2, 3, 365);     // "4,5": the comma counts -4
  ExpectRect(Parse("-1,0,0,0"), 65507, 0, 0, 0);   // (-3) * 10 + 1, zero-extended
  ExpectRect(Parse(",,,"), 0, 0, 0, 0);
}

TEST(ParseRectText, LooksAtNoMoreThan63Characters) {
  // The fourth number starts at character 60 and is cut after three digits.
  std::string text = "1,2,3," + std::string(54, '0') + "12345";
  ExpectRect(Parse(text.c_str()), 1, 2, 3, 123);
}

TEST(FormatRectText, WritesSignedNumbersAndRoundTrips) {
  char text[kRectTextSize];
  SettingsRect rect = {-2147483647 - 1, 0, 2147483647, -1};
  FormatRectText(&rect, text);
  EXPECT_STREQ(text, "-2147483648,0,2147483647,-1");
  SettingsRect small = {10, 20, 300, 400};
  FormatRectText(&small, text);
  EXPECT_STREQ(text, "10,20,300,400");
  ExpectRect(Parse(text), 10, 20, 300, 400);
}

}  // namespace
