#include <gtest/gtest.h>

#include <cstdio>

#include "tools/driver/TraceParser.h"

namespace {

TEST(TraceParser, ExpandsTracesAndNamesTheLineOfAnError) {
    const trace::Result r = trace::parse("# header\nmotion 1 -2 3 -4 5 -6  # comment\nrate 8\n\n"
                                         "press 0 31\nbuttons 0x0C 0x80000000\nwait 250\nrepeat 2\n"
                                         "  zero\n  repeat 0\n    release 4\n  end\nend\n");
    ASSERT_TRUE(r.ok) << r.error;
    std::string steps;
    for (const trace::Step& s : r.steps) {
        char text[64];
        std::snprintf(text, sizeof(text), "%s%d %x %x %d %u, ", s.isEvent ? "" : "pause ", s.type,
                      s.pressed, s.released, s.motion[5], s.delayMs);
        steps += text;
    }
    EXPECT_EQ(steps, "2 0 0 -6 16, 1 80000001 0 0 8, 1 c 80000000 0 8, pause 0 0 0 0 250, "
                     "4 0 0 0 8, 4 0 0 0 8, ");
    for (const auto& bad : {std::make_pair("motion 1 2 3\n", 1),
                            {"zero\nrepeat 2\nzero\n", 2},
                            {"repeat 1000\nrepeat 1000\nrepeat 1000\nzero\nend\nend\nend\n", 7},
                            {"zero\nrepeat 1000000000000\nend\n", 2},
                            {"repeat 5\n  rate 8\nend\n", 1},
                            {"repeat 3\n  repeat 0\n    zero\n  end\nend\n", 1}}) {
        const trace::Result e = trace::parse(bad.first);
        EXPECT_TRUE(!e.ok && e.steps.empty()) << bad.first;
        EXPECT_EQ(e.errorLine, bad.second) << bad.first << e.error;
    }
}

} // namespace
