#include "string2.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(String2, TrimRemovesTrailingWhiteSpaceAndKeepsHighBytes)
{
    char text[] = "Title \t\r\n\v\f ";
    EXPECT_STREQ(strtrimr(text), "Title");
    char high[] = "Caf\xE9\xA0";
    EXPECT_STREQ(strtrimr(high), "Caf\xE9\xA0");
    char blank[] = " \t ";
    EXPECT_STREQ(strtrimr(blank), "");
    char inner[] = " a b ";
    EXPECT_STREQ(strtrimr(inner), " a b");
}

TEST(String2, TimeFormatsMinutesMillisecondsAndHours)
{
    char out[20];
    EXPECT_STREQ(strtimefrmt(0, out, 0, 0), "0:00");
    EXPECT_STREQ(strtimefrmt(61005, out, 1, 0), "1:01:005");
    EXPECT_STREQ(strtimefrmt(3725000, out, 0, 0), "62:05") << "without hours the minutes grow";
    EXPECT_STREQ(strtimefrmt(3725000, out, 0, 1), "1:2:05");
    EXPECT_STREQ(strtimefrmt(59999, out, 1, 1), "0:59:999") << "no hour field below one hour";
    EXPECT_STREQ(strtimefrmt(59999, out, 0, 0), "0:59") << "truncated, not rounded";
    EXPECT_STREQ(strtimefrmt(3600000, out, 0, 1), "1:0:00");
    EXPECT_STREQ(strtimefrmt(3600000, out, 0, 0), "60:00");
    EXPECT_STREQ(strtimefrmt(-1500, out, 0, 0), "0:-1") << "each field keeps the sign of the division";
    EXPECT_STREQ(strtimefrmt(-61500, out, 1, 0), "-1:-1:-500");
    strtimefrmt(2147483647, out, 1, 1);
    EXPECT_LT(std::strlen(out), sizeof out);
    strtimefrmt(-2147483647 - 1, out, 1, 0);
    EXPECT_LT(std::strlen(out), sizeof out);
}

TEST(String2, CopyIsBoundedAlwaysTerminatedAndReportsCuts)
{
    char small[4];
    std::memset(small, 'x', sizeof small);
    EXPECT_FALSE(StrCopy(small, "abcdef"));
    EXPECT_STREQ(small, "abc");
    EXPECT_TRUE(StrCopy(small, "abc"));
    EXPECT_STREQ(small, "abc");
    EXPECT_TRUE(StrCopy(small, static_cast<const char*>(nullptr)));
    EXPECT_STREQ(small, "");
    EXPECT_TRUE(StrCopy(nullptr, 0, std::string_view()));
    EXPECT_FALSE(StrCopy(nullptr, 0, "a"));
}

TEST(String2, ViewStopsAtTheArraysEndWithoutATerminator)
{
    const char full[3] = {'a', 'b', 'c'};
    EXPECT_EQ(StrView(full), "abc");
    const char shorter[5] = "ab";
    EXPECT_EQ(StrView(shorter), "ab");
}

TEST(String2, FormatCutsAtTheBufferEnd)
{
    char out[6];
    EXPECT_STREQ(StrFormat(out, sizeof out, "%d-%s", 1234, "abcdef"), "1234-");
    EXPECT_STREQ(StrFormat(out, sizeof out, "%s", ""), "");
}
