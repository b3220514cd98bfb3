#include "ostrel/HttpRange.h"

#include <gtest/gtest.h>

using namespace Ostrel;

TEST(HttpRange, RangeHeaderAcceptsOnlyCleanForms)
{
    struct Case { const char* header; bool ok; uint64_t start; };
    const Case cases[] = {
        {"bytes=0-", true, 0},
        {"bytes=100-", true, 100},
        {"bytes=100-999", true, 100},
        {"bytes=9223372036854775807-", true, 9223372036854775807ULL},
        {"bytes=9223372036854775808-", false, 0},     // overflows 63 bits
        {"bytes=99999999999999999999999-", false, 0}, // overflows 64 bits
        {"bytes=-100", false, 0},                     // suffix ranges are not part of the protocol
        {"bytes=1-2,5-6", false, 0},
        {"bytes= 1-", false, 0},
        {"bytes=+1-", false, 0},
        {"bytes=1", false, 0},
        {"items=1-", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t start = 77;
        EXPECT_EQ(parseRangeStart(c.header, start), c.ok) << c.header;
        if (c.ok)
            EXPECT_EQ(start, c.start) << c.header;
        else
            EXPECT_EQ(start, 77u) << c.header;
    }
}

TEST(HttpRange, ContentRangeReadsFirstNumberOfPeerForm)
{
    struct Case { const char* header; bool ok; uint64_t start; };
    const Case cases[] = {
        {"bytes 500-1000/1000", true, 500},
        {"bytes 500-999/1000", true, 500},
        {"bytes 0-/*", true, 0},
        {"bytes 500-1000", true, 500},
        {"bytes 500-1000/", false, 0},
        {"bytes 500-1000/10x", false, 0},
        {"bytes */1000", false, 0},
        {"bytes -5-10/10", false, 0},
        {"bytes 18446744073709551616-1/1", false, 0},
        {"bytes=500-", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t start = 77;
        EXPECT_EQ(parseContentRangeStart(c.header, start), c.ok) << c.header;
        if (c.ok) {
            EXPECT_EQ(start, c.start) << c.header;
        }
    }
}

TEST(HttpRange, DecimalAndFormat)
{
    uint64_t v = 0;
    EXPECT_TRUE(parseDecimal("0", v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(parseDecimal("1048576", v));
    EXPECT_EQ(v, 1048576u);
    for (const char* bad : {"", "-1", "1 ", " 1", "1e3", "0x10", "9223372036854775808"})
        EXPECT_FALSE(parseDecimal(bad, v)) << bad;
    EXPECT_EQ(formatContentRange(100, 1000), "bytes 100-1000/1000");
}
