#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "GloFunctionSetup.h"
#include "GloPluginFunction.h"

namespace {

void noop(const CGlo_Event&) {}

// Description 1, axis 0 directions 2 / 4, axis 1 directions 3 / 5, the rest 0.
CGlo_PluginFunction function(const wchar_t* name, GLO_FunctionType type) {
    return CGlo_PluginFunction(name, type, &noop, 1, 2, 4, 3, 5, 0, 0, 0, 0, 0, 0, 0, 0);
}

// Function axis 0 on device axis a0, function axis 1 on device axis a1.
CGlo_FunctionSetup motion(int axes, int a0, int p0, int a1, int p1, int threshold) {
    return CGlo_FunctionSetup(L"M", GLO_MotionEvent, axes, a0, a1, 0, 0, 0, 0, p0, p1, 0, 0, 0, 0,
                              threshold);
}

CGlo_FunctionSetup button(int number, int transition, const wchar_t* name = L"B") {
    return CGlo_FunctionSetup(name, GLO_ButtonEvent, number,
                              static_cast<GLO_ButtonEventType>(transition));
}

TEST(FunctionNames, AreCutTo31CharactersByEveryConstructorAndAssignment) {
    for (const std::wstring& name : {std::wstring(40, L'x'), std::wstring(31, L'y')}) {
        const std::wstring want = name.substr(0, 31);
        EXPECT_EQ(function(name.c_str(), GLO_OneAxisFunction).getName(), want);
        EXPECT_EQ(CGlo_FunctionSetup(name.c_str(), GLO_NoEvent).getName(), want);
        EXPECT_EQ(button(1, 2, name.c_str()).getName(), want);
        CGlo_FunctionSetup assigned(L"", GLO_NoEvent);
        assigned = function(name.c_str(), GLO_OneAxisFunction);
        EXPECT_EQ(assigned.getName(), want);
    }
}

TEST(FunctionSetup, IsValid) {
    struct Case {
        const char* what;
        CGlo_FunctionSetup setup;
        bool valid;
    } cases[] = {
        {"trigger on axis 2", motion(0, 2, -1, 0, 0, 0), true},
        {"trigger without polarity", motion(0, 2, 0, 0, 1, 0), false},
        {"second polarity 0, two axes", motion(2, 0, 1, 1, 0, 0), false},
        {"second polarity 0, one axis", motion(1, 0, 1, 1, 0, 0), true},
        {"second device axis 6, two axes", motion(2, 0, 1, 6, 1, 0), false},
        {"device axis -1 (huge unsigned)", motion(1, -1, 1, 0, 1, 0), false},
        {"threshold 200", motion(1, 0, 1, 0, 1, 200), true},
        {"threshold 201", motion(1, 0, 1, 0, 1, 201), false},
        {"seven axes", motion(7, 0, 1, 0, 1, 0), false},
        {"negative axis count", motion(-1, 0, 1, 0, 1, 0), false},
        {"default handler, any", button(-2, 3), true},
        {"button 31 release", button(31, 1), true},
        {"button 32", button(32, 2), false},
        {"button -3", button(-3, 2), false},
        {"no transition", button(1, 0), false},
        {"transition 4", button(1, 4), false},
        {"empty name", button(1, 2, L""), false},
        {"no event type", CGlo_FunctionSetup(L"N", GLO_NoEvent, 1, GLO_ButtonPress), false},
    };
    for (Case& c : cases)
        EXPECT_EQ(c.setup.IsValid(), c.valid) << c.what;
}

TEST(FunctionSetup, AccessorsIgnoreOutOfRangeIndexesAndStoreAbsoluteThresholds) {
    CGlo_FunctionSetup s = motion(1, 0, 1, 2, 1, -50);
    EXPECT_EQ(s.getThreshold(), 50);
    s.setThreshold(INT_MIN);
    EXPECT_EQ(s.getThreshold(), INT_MAX);
    s.setAxis(6, 3);
    s.setAxis(-1, 3);
    EXPECT_EQ(s.getAxis(6), 0);
    EXPECT_EQ(s.getAxis(-1), 0);
    EXPECT_EQ(s.getPolarity(6), 1);
    EXPECT_EQ(s.getAxis(1), 2);
}

// The function's type decides event type and axis count; the rest of the setup stays.
TEST(FunctionSetup, AssigningAFunctionTakesItsKind) {
    CGlo_FunctionSetup s = button(0, 1); // polarity of function axis 2 is 0
    s.setPolarity(0, 1);
    s.setPolarity(1, -1);
    s.setAxis(1, 2);
    s = function(L"Zoom", GLO_TwoAxisFunction);
    EXPECT_EQ(s.getEventType(), GLO_MotionEvent);
    EXPECT_TRUE(s.IsValid());
    s = function(L"Zoom", GLO_ThreeAxisFunction);
    EXPECT_FALSE(s.IsValid()); // three axes now: the third polarity counts
    EXPECT_EQ(s.getAxis(1), 2);
    s = function(L"Zoom", GLO_TriggerFunction); // a trigger keeps the event type
    EXPECT_EQ(s.getEventType(), GLO_MotionEvent);
    EXPECT_TRUE(s.IsValid());
    s = function(L"Key", GLO_ButtonFunction);
    EXPECT_EQ(s.getEventType(), GLO_ButtonEvent);

    EXPECT_EQ(function(L"F", static_cast<GLO_FunctionType>(7)).getNumberOfAxes(), 0);
    EXPECT_EQ(function(L"F", GLO_FourAxisFunction).getNumberOfAxes(), 4);
}

// The texts live in the core library's string table, not in the calling module.
TEST(PluginFunction, DescriptionsComeFromTheCoreStringTable) {
    CGlo_PluginFunction f = function(L"Pan", GLO_TwoAxisFunction);
    wchar_t buffer[64];
    EXPECT_EQ(f.getFunctionCbDescription(buffer, sizeof(buffer)), buffer);
    EXPECT_STREQ(buffer, L"Pan Window");
    EXPECT_STREQ(f.getAxisCbDescription(buffer, sizeof(buffer), 0, -1), L"Pan Down/Up");
    EXPECT_STREQ(f.getAxisCbDescription(buffer, sizeof(buffer), 1, 0), L"Pan Left/Right");
    EXPECT_STREQ(f.getFunctionCbDescription(buffer, 8), L"Pan"); // cut to the capacity

    // Unknown identifiers and axes give an empty string, never stale buffer contents.
    buffer[0] = L'?';
    EXPECT_STREQ(f.getAxisCbDescription(buffer, sizeof(buffer), 2, 1), L"");
    buffer[0] = L'?';
    EXPECT_STREQ(f.getAxisCbDescription(buffer, sizeof(buffer), 6, 1), L"");
    // No room for a character: LoadStringW would store a pointer there; nothing is written.
    wchar_t guard[4] = {L'a', L'b', L'c', 0};
    EXPECT_STREQ(f.getFunctionCbDescription(guard, 1), L"abc");
}

} // namespace
