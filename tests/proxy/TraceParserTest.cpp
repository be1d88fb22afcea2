#include <gtest/gtest.h>

#include "tools/driver/TraceParser.h"

namespace {

TEST(TraceParser, EventsPausesAndRate) {
    const trace::Result r = trace::parse("# header\n"
                                         "motion 1 -2 3 -4 5 -6   # comment\n"
                                         "rate 8\n"
                                         "\n"
                                         "press 0 31\n"
                                         "release 4\n"
                                         "buttons 0x0C 0x80000000\n"
                                         "wait 250\n"
                                         "zero\n"
                                         "event 3\n");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.steps.size(), 7u);
    EXPECT_EQ(r.steps[0].type, 2);
    EXPECT_EQ(r.steps[0].motion[1], -2);
    EXPECT_EQ(r.steps[0].motion[5], -6);
    EXPECT_EQ(r.steps[0].delayMs, trace::kDefaultRateMs);
    EXPECT_EQ(r.steps[1].type, 1);
    EXPECT_EQ(r.steps[1].pressed, 0x80000001u);
    EXPECT_EQ(r.steps[1].delayMs, 8u);
    EXPECT_EQ(r.steps[2].released, 0x10u);
    EXPECT_EQ(r.steps[3].pressed, 0x0Cu);
    EXPECT_EQ(r.steps[3].released, 0x80000000u);
    EXPECT_FALSE(r.steps[4].isEvent);
    EXPECT_EQ(r.steps[4].delayMs, 250u);
    EXPECT_EQ(r.steps[5].type, 4);
    EXPECT_EQ(r.steps[6].type, 3);
}

TEST(TraceParser, NestedRepeatsExpand) {
    const trace::Result r = trace::parse("repeat 3\n"
                                         "  motion 1 0 0 0 0 0\n"
                                         "  repeat 2\n"
                                         "    zero\n"
                                         "  end\n"
                                         "end\n"
                                         "repeat 0\n"
                                         "  press 1\n"
                                         "end\n"
                                         "release 1\n");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.steps.size(), 10u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r.steps[i * 3].type, 2);
        EXPECT_EQ(r.steps[i * 3 + 1].type, 4);
        EXPECT_EQ(r.steps[i * 3 + 2].type, 4);
    }
    EXPECT_EQ(r.steps[9].released, 2u);
}

TEST(TraceParser, ErrorsNameTheLine) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"motion 1 2 3\n", 1},
        {"zero\npress 32\n", 2},
        {"wait -1\n", 1},
        {"wait 1x\n", 1},
        {"jump 3\n", 1},
        {"end\n", 1},
        {"zero\nrepeat 2\nzero\n", 2},
        {"buttons 0x100000000 0\n", 1},
        {"repeat 1000\nrepeat 1000\nrepeat 1000\nzero\nend\nend\nend\n", 7},
    };
    for (const auto& c : cases) {
        const trace::Result r = trace::parse(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.errorLine, c.line) << c.text << r.error;
        EXPECT_TRUE(r.steps.empty());
    }
}

TEST(TraceParser, ShippedExampleParses) {
    const char* source = std::getenv("GLO_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::string path = std::string(source) + "/tools/driver/traces/scroll-and-click.trace";
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << path;
    std::string text;
    char buffer[1024];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    const trace::Result r = trace::parse(text);
    EXPECT_TRUE(r.ok) << r.errorLine << ": " << r.error;
    EXPECT_GT(r.steps.size(), 20u);
}

} // namespace
