#include "string2.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(String2, TrimRemovesTrailingWhiteSpaceOnlyAndKeepsHighBytes)
{
    const struct { const char *in, *out; } cases[] = {
        {"Title \t\r\n\v\f ", "Title"}, {"Caf\xE9\xA0", "Caf\xE9\xA0"}, {" \t ", ""}, {"", ""}, {" a b ", " a b"},
    };
    for (const auto& c : cases) {
        char text[20];
        std::strcpy(text, c.in);
        EXPECT_STREQ(strtrimr(text), c.out);
    }
}

TEST(String2, TimeTruncatesEachFieldAndSplitsOffHoursOnlyWhenAsked)
{
    const struct { int ms, millis, hours; const char* text; } cases[] = {
        {0, 0, 0, "0:00"}, {0, 1, 0, "0:00:000"}, {59999, 0, 0, "0:59"}, {59999, 1, 1, "0:59:999"},
        {3600000, 0, 1, "1:0:00"}, {3600000, 0, 0, "60:00"}, {3903000, 0, 1, "1:5:03"}, {3903000, 0, 0, "65:03"},
        {187250, 1, 0, "3:07:250"}, {-1500, 0, 0, "0:-1"}, {-61500, 1, 0, "-1:-1:-500"},
        {2147483647, 1, 1, "596:31:23:647"}, {-2147483647 - 1, 1, 0, "-35791:-23:-648"},
    };
    for (const auto& c : cases) {
        char out[20];
        EXPECT_STREQ(strtimefrmt(c.ms, out, c.millis, c.hours), c.text) << c.ms;
    }
}

TEST(String2, CopyAndFormatAreBoundedAlwaysTerminatedAndCopyReportsCuts)
{
    char small[4], out[6];
    EXPECT_FALSE(StrCopy(small, "abcd"));  // one character too many for the terminator
    EXPECT_STREQ(small, "abc");
    EXPECT_TRUE(StrCopy(small, static_cast<const char*>(nullptr)));
    EXPECT_STREQ(small, "");
    const char full[3] = {'a', 'b', 'c'};
    EXPECT_EQ(StrView(full), "abc");
    EXPECT_STREQ(StrFormat(out, sizeof out, "%d-%s", 1234, "abcdef"), "1234-");
}

TEST(String2, TypedNumbersAreDigitsUpToTheirLimit)
{
    struct Case { const char* text; int ok; std::uint32_t value; };
    for (const Case c : {Case{"2500", 1, 2500}, Case{"0", 1, 0}, Case{"3600000", 1, 3600000}, Case{"3600001", 0, 7},
                         Case{"-1", 0, 7}, Case{"", 0, 7}, Case{"12a", 0, 7}, Case{"99999999999", 0, 7}}) {
        std::uint32_t value = 7;
        EXPECT_EQ(StrToUInt(c.text, 3600000, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}
