#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include <string>

#include "common/text_format.h"

namespace {

std::string Format(size_t size, const char* format, ...) {
  char buffer[64];
  memset(buffer, '#', sizeof buffer);
  va_list arguments;
  va_start(arguments, format);
  int length = FormatStringV(buffer, size, format, arguments);
  va_end(arguments);
  // Nothing past the buffer's given size is touched.
  for (size_t i = size; i < sizeof buffer; ++i)
    if (buffer[i] != '#') return "overrun";
  return std::to_string(length) + ":" + (size ? std::string(buffer) : std::string("-"));
}

TEST(TextFormat, ConversionsAsSnprintfWritesThem) {
  EXPECT_EQ(Format(64, "%s\\%s", "C:\\Program Files", "Morvantile"), "27:C:\\Program Files\\Morvantile");
  EXPECT_EQ(Format(64, "%d,%d,%d,%d", 0, -1, 1024, 768), "13:0,-1,1024,768");
  EXPECT_EQ(Format(64, "%d %d", INT_MIN, INT_MAX), "22:-2147483648 2147483647");
  EXPECT_EQ(Format(64, "%u%%", 4294967295u), "11:4294967295%");
  EXPECT_EQ(Format(64, "[%s]", static_cast<const char*>(nullptr)), "2:[]");
  // Anything else is copied as it stands, a lone % at the end too.
  EXPECT_EQ(Format(64, "%x %5d 100%", 1), "11:%x %5d 100%");
}

TEST(TextFormat, ACutTextIsTerminatedAndReportsItsWholeLength) {
  EXPECT_EQ(Format(8, "%s.tmp", "settings"), "12:setting");
  EXPECT_EQ(Format(13, "%s.tmp", "settings"), "12:settings.tmp");
  EXPECT_EQ(Format(12, "%s.tmp", "settings"), "12:settings.tm");
  EXPECT_EQ(Format(1, "%d", 12345), "5:");
  EXPECT_EQ(Format(0, "%d", 12345), "5:-");
}

}  // namespace
