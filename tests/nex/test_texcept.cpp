// The nex exceptions: text layout, codes, sharing of the text record and the
// catch hierarchy.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "nex/texcept.h"

TEST(NexExcept, TextNamesFileLineCodeAndText) {
    struct Case {
        int line;
        int32_t code;
        const char* text;
        int32_t extra;
        const char* expected;
    };
    const Case cases[] = {
        {59, 16001, "", 0, "nex\\tgraph line 59: 16001 "},
        {540, 16111, "edge not valid", 0, "nex\\tgraph line 540: 16111 edge not valid"},
        {12, 16110, "tDiGraph inconsistent", 7, "nex\\tgraph line 12: 16110 tDiGraph inconsistent - 7"},
        {-3, -16, "x", -2147483647 - 1, "nex\\tgraph line -3: -16 x - -2147483648"},
    };
    for (const Case& c : cases) {
        tExcept e(nex::src::tgraph, c.line, c.code, c.text, c.extra);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_STREQ(e.text(), c.expected);
    }
}

TEST(NexExcept, RangeAndMallocTexts) {
    tExRange r(nex::src::tappend, 150, -1, 0, 5);
    EXPECT_EQ(r.code(), 16103);
    EXPECT_STREQ(r.text(), "nex\\tappend.h line 150: 16103 index -1 out of range (0-5)");

    tExMalloc m(nex::src::tgraph_algo, 81);
    EXPECT_EQ(m.code(), 16102);
    EXPECT_STREQ(m.text(), "nex\\tgraph_algo line 81: 16102 no more Memory");
}

TEST(NexExcept, LongTextIsCutAndTerminated) {
    std::string longText(2000, 'a');
    tExcept e(nex::src::tgraph, 1, 16110, longText.c_str(), 12345);
    ASSERT_TRUE(e.hasText());
    EXPECT_EQ(std::strlen(e.text()), 1023u);
    EXPECT_EQ(std::string(e.text()).substr(0, 24), "nex\\tgraph line 1: 16110");

    // A number that no longer fits is cut at the room that is left.
    std::string name(1020, 'f');
    tExcept n(name.c_str(), 98765, 1, "");
    EXPECT_EQ(std::string(n.text()), name + " li");
}

TEST(NexExcept, CopiesShareOneTextRecord) {
    tExcept a(nex::src::tgraph, 1, 16110, "shared");
    EXPECT_EQ(a.textRefs(), 1);
    {
        tExcept b(a);
        EXPECT_EQ(a.textRefs(), 2);
        EXPECT_EQ(b.text(), a.text());
        tExcept c(nex::src::tgraph, 2, 16111, "other");
        c = b;
        EXPECT_EQ(a.textRefs(), 3);
        EXPECT_STREQ(c.text(), "nex\\tgraph line 1: 16110 shared");
        tExcept& alias = c;
        c = alias;
        EXPECT_EQ(a.textRefs(), 3);
        EXPECT_STREQ(c.text(), "nex\\tgraph line 1: 16110 shared");
    }
    EXPECT_EQ(a.textRefs(), 1);
}

TEST(NexExcept, ThrownCopyOutlivesTheThrower) {
    auto thrower = [] {
        tExRange local(nex::src::tbag, 51, 0, 0, 0);
        nexThrowRange(local);
    };
    try {
        thrower();
        FAIL() << "nothing thrown";
    } catch (const tExceptBase& e) {
        EXPECT_EQ(e.code(), 16103);
        EXPECT_STREQ(e.text(), "nex\\tbag.h line 51: 16103 index 0 out of range (0-0)");
        EXPECT_EQ(e.textRefs(), 1);
    }
}

TEST(NexExcept, RangeIsCaughtAsEveryBase) {
    tExRange r(nex::src::tappend, 143, 3, 0, 2);
    EXPECT_THROW(nexThrowRange(r), tExRange);
    EXPECT_THROW(nexThrowRange(r), tExcept);
    EXPECT_THROW(nexThrowRange(r), tExceptBase);
    tExMalloc m(nex::src::tgraph_algo, 81);
    EXPECT_THROW(nexThrowMalloc(m), tExcept);
    tExcept g(nex::src::tgraph, 434, 16110, "tDiGraph inconsistent");
    EXPECT_THROW(nexThrowExcept(g), tExceptBase);
}
