// The configuration file's record format: writer, reader, and reading of damaged files.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "ConfigTestSupport.h"
#include "GdrConfigFile.h"
#include "GloEventMultiplexer.h"

using namespace cfgtest;

namespace {

const char kExample[] = "[Function]\r\nFunction=MyPan\r\nEventType=motion\r\nNumberOfAxis=2\r\n"
                        "Axis=0 2\r\nAxisPolarity=1 -1\r\nThreshold=30\r\n[Function]\r\n"
                        "Function=MyKey\r\nEventType=button\r\nButton=3\r\nButtonEvent=press\r\n";

CGlo_FunctionSetup motion(const wchar_t* name, int n, int threshold) {
    int axes[6] = {0, 0, 0, 0, 0, 0}, pol[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < (n > 0 ? n : 1); ++i) {
        axes[i] = (i * 2 + 1) % 6;
        pol[i] = i % 2 ? -1 : 1;
    }
    return CGlo_FunctionSetup(name, GLO_MotionEvent, n, axes[0], axes[1], axes[2], axes[3], axes[4],
                              axes[5], pol[0], pol[1], pol[2], pol[3], pol[4], pol[5], threshold);
}

bool writeSetups(const std::wstring& file, std::vector<CGlo_FunctionSetup>& setups) {
    return glo_config::writeFileAtomicallyW(
        file.c_str(),
        [](std::ostream& out, void* context) {
            for (CGlo_FunctionSetup& s : *static_cast<std::vector<CGlo_FunctionSetup>*>(context))
                s.serialize(out);
        },
        &setups);
}

std::vector<CGlo_FunctionSetup> readFile(const std::wstring& file) {
    std::ifstream in(std::string(file.begin(), file.end()), std::ios::binary);
    EXPECT_TRUE(in.is_open());
    return readAll(in);
}

} // namespace

TEST(RecordFormat, ExampleFileIsWrittenByteForByteAndReadBack) {
    TempFolder folder;
    std::vector<CGlo_FunctionSetup> setups = {
        CGlo_FunctionSetup(L"MyPan", GLO_MotionEvent, 2, 0, 2, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, 30),
        CGlo_FunctionSetup(L"MyKey", GLO_ButtonEvent, 3, GLO_ButtonPress)};
    const std::wstring file = folder.file(L"Example.cfg");
    ASSERT_TRUE(writeSetups(file, setups));
    EXPECT_EQ(readBytes(file), kExample);

    std::vector<CGlo_FunctionSetup> all = readFile(file);
    // The empty record before the first "[Function]" line, then the two setups.
    ASSERT_EQ(all.size(), 3u);
    EXPECT_FALSE(all[0].IsValid());
    ASSERT_TRUE(all[1].IsValid());
    ASSERT_TRUE(all[2].IsValid());
    EXPECT_TRUE(sameSetup(all[1], setups[0]));
    EXPECT_TRUE(sameSetup(all[2], setups[1]));
    EXPECT_EQ(all[1].getAxis(1), 2);
    EXPECT_EQ(all[1].getPolarity(1), -1);
    EXPECT_EQ(all[1].getThreshold(), 30);

    // A text-mode stream (CR LF turned into LF) and bare line feeds read the same.
    std::ifstream text(folder.narrow(L"Example.cfg"));
    std::vector<CGlo_FunctionSetup> viaText = validOnly(readAll(text));
    std::string unix(kExample);
    for (size_t at; (at = unix.find('\r')) != std::string::npos;)
        unix.erase(at, 1);
    std::istringstream lf(unix);
    std::vector<CGlo_FunctionSetup> viaLf = validOnly(readAll(lf));
    ASSERT_EQ(viaText.size(), 2u);
    ASSERT_EQ(viaLf.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(sameSetup(viaText[i], setups[i]));
        EXPECT_TRUE(sameSetup(viaLf[i], setups[i]));
    }
}

TEST(RecordFormat, EverySetupKindRoundTripsThroughAFile) {
    TempFolder folder;
    std::vector<CGlo_FunctionSetup> setups;
    for (int n = 0; n <= 6; ++n)
        setups.push_back(motion(L"Motion", n, n * 30));
    setups.push_back(CGlo_FunctionSetup(L"Default", GLO_ButtonEvent, -2, GLO_AnyButtonEvent));
    setups.push_back(CGlo_FunctionSetup(L"Release", GLO_ButtonEvent, 31, GLO_ButtonRelease));
    setups.push_back(CGlo_FunctionSetup(L"Other", GLO_NoEvent));
    setups.push_back(CGlo_FunctionSetup(L"Negative", GLO_MotionEvent, 1, 5, 0, 0, 0, 0, 0, -1, 0, 0,
                                        0, 0, 0, -200));
    setups.push_back(
        CGlo_FunctionSetup(L"Pan \u00c4rger with blanks", GLO_ButtonEvent, 0, GLO_ButtonPress));
    const std::wstring file = folder.file(L"Kinds.cfg");
    ASSERT_TRUE(writeSetups(file, setups));
    std::vector<CGlo_FunctionSetup> all = readFile(file);
    ASSERT_EQ(all.size(), setups.size() + 1);
    for (size_t i = 0; i < setups.size(); ++i)
        EXPECT_TRUE(sameSetup(all[i + 1], setups[i])) << "record " << i;
    // A trigger still names its axis: one value each.
    EXPECT_NE(readBytes(file).find("NumberOfAxis=0\r\nAxis=1\r\nAxisPolarity=1\r\n"),
              std::string::npos);
    if (GetACP() == 1252) {
        EXPECT_NE(readBytes(file).find("Function=Pan \xc4rger with blanks\r\n"), std::string::npos);
    }
}

TEST(RecordFormat, WriterEdgeValues) {
    std::ostringstream out;
    CGlo_FunctionSetup odd(L"Odd", GLO_ButtonEvent, 4, static_cast<GLO_ButtonEventType>(7));
    odd.serialize(out);
    EXPECT_EQ(out.str(), "[Function]\nFunction=Odd\nEventType=button\nButton=4\nButtonEvent=\n");
    EXPECT_EQ(fields(readOne(out.str())).buttonEvent, GLO_NoButtonEvent);

    // A count beyond the six fields must not read past them.
    CGlo_FunctionSetup many = motion(L"Many", 6, 0);
    glo_config::RecordFields f = fields(many);
    f.numberOfAxes = 1000;
    glo_config::applyFields(many, f);
    std::ostringstream big;
    many.serialize(big);
    EXPECT_NE(big.str().find("NumberOfAxis=1000\nAxis=1 3 5 1 3 5\nAxisPolarity=1 -1 1 -1 1 -1\n"),
              std::string::npos);

    // Unrepresentable characters become the code page's default character.
    std::ostringstream wide;
    CGlo_FunctionSetup(L"Z\u4e2d", GLO_NoEvent).serialize(wide);
    if (GetACP() == 1252) {
        EXPECT_EQ(wide.str(), "[Function]\nFunction=Z?\n");
    }
}

TEST(RecordFormat, ReaderFollowsTheKeyRules) {
    glo_config::RecordFields f =
        fields(readOne("Function=A\n  Threshold=30\nEventType=Motion\nNumberOfAxis=3\nAxis=0 2\n"
                       "AxisPolarity=1 -1\nButtonEvent=press or release\n"));
    EXPECT_EQ(f.threshold, 30); // text before a key is ignored
    EXPECT_EQ(f.eventType, GLO_NoEvent);
    EXPECT_EQ(f.numberOfAxes, 3);
    EXPECT_EQ(f.axis[1], 2);
    EXPECT_EQ(f.axis[2], 0);
    EXPECT_EQ(f.polarity[2], 0);
    EXPECT_EQ(f.buttonEvent, GLO_ButtonPress);

    EXPECT_EQ(fields(readOne("ButtonEvent=anything\n")).buttonEvent, GLO_AnyButtonEvent);
    EXPECT_EQ(fields(readOne("ButtonEvent=Release\n")).buttonEvent, GLO_NoButtonEvent);
    // Table order: "NumberOfAxis=" is not "Axis=", and "Function=" wins anywhere in a line.
    f = fields(readOne("NumberOfAxis=4\nAxis=5 Function=Late\n"));
    EXPECT_EQ(f.numberOfAxes, 4);
    EXPECT_EQ(f.axis[0], 0);
    EXPECT_STREQ(f.name, L"Late");
    // atoi and "%d": leading digits, sign, 0 without digits, saturation instead of overflow.
    f = fields(readOne("Threshold= +12abc\nButton=x\nAxis=1,2\nAxisPolarity=  -1   1\t-1\n"
                       "NumberOfAxis=99999999999\n"));
    EXPECT_EQ(f.threshold, 12);
    EXPECT_EQ(f.button, 0);
    EXPECT_EQ(f.axis[0], 1);
    EXPECT_EQ(f.axis[1], 0);
    EXPECT_EQ(f.polarity[2], -1);
    EXPECT_EQ(f.numberOfAxes, 2147483647);
    // A negative threshold is taken as read and makes the record invalid.
    CGlo_FunctionSetup negative = readOne("Function=N\nEventType=motion\nNumberOfAxis=1\nAxis=0\n"
                                          "AxisPolarity=1\nThreshold=-5\n");
    EXPECT_EQ(negative.getThreshold(), -5);
    EXPECT_FALSE(negative.IsValid());
    // The later of two equal keys counts; a 40-character name keeps 31.
    f = fields(readOne("Function=First\nFunction=0123456789012345678901234567890123456789\n"));
    EXPECT_STREQ(f.name, L"0123456789012345678901234567890");
    // The last line counts without a line end.
    EXPECT_EQ(readOne("Function=A\nEventType=button\nButton=1\nButtonEvent=any").IsValid(), true);
}

TEST(RecordFormat, RecordBoundaries) {
    std::istringstream in("Function=Lead\nEventType=button\nButton=1\nButtonEvent=press\n"
                          "[Function]\nFunction=B\n[Function]\n");
    std::vector<CGlo_FunctionSetup> all = readAll(in);
    ASSERT_EQ(all.size(), 3u); // lines before the first "[Function]", B, the empty rest
    EXPECT_TRUE(all[0].IsValid());
    EXPECT_STREQ(all[1].getName(), L"B");
    EXPECT_STREQ(all[2].getName(), L"");
    std::istringstream empty("");
    std::vector<CGlo_FunctionSetup> none = readAll(empty);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_FALSE(none[0].IsValid());
}

TEST(DamagedFile, LongLinesAreCutAndTheRestIsStillRead) {
    // 258 characters are read; the 259th and everything after it on that line are not.
    std::string fits = std::string(258 - 12, ' ') + "Threshold=77";
    std::string over = std::string(259 - 12, ' ') + "Threshold=77";
    EXPECT_EQ(readOne(fits + "\n").getThreshold(), 77);
    EXPECT_EQ(readOne(over + "\n").getThreshold(), 7);
    EXPECT_EQ(readOne(fits + "\r\n").getThreshold(), 77); // CR is not content

    std::string text = "[Function]\nFunction=" + std::string(5000, 'n') + "\n" +
                       std::string(100000, 'x') + "Button=9\nEventType=button\nButton=4\n" +
                       "ButtonEvent=press\n";
    std::istringstream in(text);
    std::vector<CGlo_FunctionSetup> valid = validOnly(readAll(in));
    ASSERT_EQ(valid.size(), 1u);
    EXPECT_EQ(wcslen(valid[0].getName()), 31u);
    EXPECT_EQ(fields(valid[0]).button, 4);
}

TEST(DamagedFile, NulBytesAndBinaryJunkAreSkipped) {
    std::string junk;
    unsigned state = 7;
    for (int i = 0; i < 300000; ++i) {
        state = state * 1103515245u + 12345u;
        junk += static_cast<char>(state >> 16); // NUL, CR, Ctrl-Z, 0xFF, lone LF ...
    }
    std::string text = junk + "\n[Function]\nFunction=Good\nEventType=button\nButton=2\n" +
                       std::string("ButtonEvent=press\0junk", 23) + "\n" +
                       std::string("\0Button=9", 9) + "\n" + junk;
    TempFolder folder;
    const std::wstring file = folder.file(L"Junk.cfg");
    writeBytes(file, text);
    std::vector<CGlo_FunctionSetup> records = readFile(file);
    int good = 0;
    for (CGlo_FunctionSetup& s : records)
        if (wcscmp(s.getName(), L"Good") == 0) {
            ++good;
            EXPECT_TRUE(s.IsValid());
            EXPECT_EQ(fields(s).button, 2); // the line starting with NUL holds nothing
        }
    EXPECT_EQ(good, 1);
}

TEST(DamagedFile, TruncatedRecordsAreInvalidNotFatal) {
    const std::string full(kExample);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        std::istringstream in(full.substr(0, cut));
        std::vector<CGlo_FunctionSetup> valid = validOnly(readAll(in));
        for (CGlo_FunctionSetup& s : valid) // whatever survives is consistent
            EXPECT_TRUE(s.IsValid());
        // Until its second polarity is complete MyPan cannot be valid.
        if (cut < full.find("AxisPolarity=1 -1") + 17) {
            EXPECT_TRUE(valid.empty()) << cut;
        }
    }
}

namespace {
// Hundreds of megabytes without a line end, produced on the fly, then one record.
class EndlessLine : public std::streambuf {
public:
    explicit EndlessLine(long long bytes) : left(bytes), tailSent(false) {}

protected:
    int_type underflow() override {
        if (left > 0) {
            const long long n = left < (long long)sizeof block ? left : (long long)sizeof block;
            memset(block, 'q', sizeof block);
            left -= n;
            setg(block, block, block + n);
        } else if (!tailSent) {
            static const char tail[] =
                "\nFunction=Tail\nEventType=button\nButton=1\nButtonEvent=any\n";
            memcpy(block, tail, sizeof tail - 1);
            setg(block, block, block + sizeof tail - 1);
            tailSent = true;
        } else {
            return traits_type::eof();
        }
        return traits_type::to_int_type(*gptr());
    }

private:
    long long left;
    bool tailSent;
    char block[1 << 16];
};

SIZE_T peakCommit() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}
} // namespace

TEST(DamagedFile, OversizedInputIsStreamed) {
    const SIZE_T before = peakCommit();
    EndlessLine source(300ll << 20);
    std::istream in(&source);
    std::vector<CGlo_FunctionSetup> valid = validOnly(readAll(in));
    ASSERT_EQ(valid.size(), 1u);
    EXPECT_STREQ(valid[0].getName(), L"Tail");
    EXPECT_LT(peakCommit() - before, SIZE_T(16) << 20);
}
