// Configuration records through files and the driver's exchange store, damaged files, safe
// replacement of files, and the checker tool's report.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "GdrConfigFile.h"
#include "tests/support/PluginHome.h"
#include "bench/HeapCallCounter.h"
#include "GloConfigRecord.h"

namespace fs = std::filesystem;

namespace {

const char kExample[] = "[Function]\r\nFunction=MyPan\r\nEventType=motion\r\nNumberOfAxis=2\r\n"
                        "Axis=0 2\r\nAxisPolarity=1 -1\r\nThreshold=30\r\n[Function]\r\n"
                        "Function=MyKey\r\nEventType=button\r\nButton=3\r\nButtonEvent=press\r\n";

// A fresh folder below the prefix's temporary folder, removed with its files at exit.
const struct TempFolder {
    fs::path path =
        fs::temp_directory_path() / ("glo_config_" + std::to_string(GetCurrentProcessId()));
    TempFolder() { fs::create_directories(path); }
    mutable std::error_code error;
    ~TempFolder() { fs::remove_all(path, error); }
    std::wstring operator/(const wchar_t* name) const { return (path / name).wstring(); }
} folder;

using glotest::readFile;
using glotest::writeFile;

// Every field a record carries, as text for readable comparisons.
std::wstring dump(const CGlo_FunctionSetup& setup) {
    glo_config::RecordFields f;
    glo_config::fieldsOf(setup, f);
    std::wostringstream s;
    s << f.name << L"|" << f.eventType << L"|" << f.numberOfAxes << L"|" << f.threshold << L"|"
      << f.button << L"|" << f.buttonEvent;
    for (int i = 0; i < 6; ++i)
        s << L"|" << f.axis[i] << L"/" << f.polarity[i];
    return s.str();
}

// Every record of a stream, as the application's reload loop reads them.
std::vector<CGlo_FunctionSetup> readAll(std::istream&& in) {
    std::vector<CGlo_FunctionSetup> records;
    while (!in.eof() && !in.fail())
        records.emplace_back(L"", GLO_NoEvent).deserialize(in);
    return records;
}

CGlo_FunctionSetup readOne(const std::string& text) {
    return readAll(std::istringstream(text)).front();
}

typedef std::vector<std::vector<std::wstring>> Content;

// Sections allocated from the process heap as a driver's store hands them over (and left there:
// the cursor replaces slots itself); counts the store's writes. nullptr stands for a null slot.
struct StoreFile : CGdrConfigFile {
    explicit StoreFile(const std::vector<std::vector<const wchar_t*>>& content)
        : CGdrConfigFile(getCoreProxy()) {
        for (const std::vector<const wchar_t*>& items : content) {
            store.push_back({static_cast<int>(items.size()), alloc<wchar_t*>(items.size())});
            for (size_t i = 0; i < items.size(); ++i)
                if (items[i] != nullptr)
                    wcscpy(store.back().items[i] = alloc<wchar_t>(wcslen(items[i])), items[i]);
        }
    }
    // The store's content; null slots read "<null>".
    Content content() const {
        Content out;
        for (const GdrConfigSection& s : store) {
            out.emplace_back();
            for (int i = 0; i < s.itemCount; ++i)
                out.back().push_back(s.items[i] ? s.items[i] : L"<null>");
        }
        return out;
    }
    int writes = 0;
    template <class T> static T* alloc(size_t n) {
        return static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (n + 1) * sizeof(T)));
    }
    bool readStoredSections(const wchar_t*, int& count, GdrConfigSection*& list) override {
        count = static_cast<int>(store.size());
        return (list = store.data()) != nullptr;
    }
    bool writeStoredSections(const wchar_t*, int, GdrConfigSection*) override { return ++writes; }
    std::vector<GdrConfigSection> store;
};

} // namespace

TEST(ConfigRecord, EverySetupKindRoundTripsThroughAFileAndTheExchange) {
    std::vector<CGlo_FunctionSetup> setups = {
        CGlo_FunctionSetup(L"MyPan", GLO_MotionEvent, 2, 0, 2, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, 30),
        CGlo_FunctionSetup(L"MyKey", GLO_ButtonEvent, 3, GLO_ButtonPress)};
    for (int n = 0; n <= 6; ++n) {
        int a[6] = {}, p[6] = {};
        for (int i = 0; i < (n > 0 ? n : 1); ++i)
            a[i] = (i * 2 + 1) % 6, p[i] = i % 2 ? -1 : 1;
        setups.emplace_back(L"Motion", GLO_MotionEvent, n, a[0], a[1], a[2], a[3], a[4], a[5], p[0],
                            p[1], p[2], p[3], p[4], p[5], n * 30);
    }
    setups.emplace_back(L"Default", GLO_ButtonEvent, -2, GLO_AnyButtonEvent);
    setups.emplace_back(L"Release", GLO_ButtonEvent, 31, GLO_ButtonRelease);
    setups.emplace_back(L"Pan \u00c4rger with blanks", GLO_ButtonEvent, 0, GLO_ButtonPress);
    setups.emplace_back(L"Negative", GLO_MotionEvent, 1, 5, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, -200);
    setups.emplace_back(L"Other", GLO_NoEvent); // last: the exchange reader runs on past it

    std::ostringstream text;
    for (CGlo_FunctionSetup& s : setups)
        s.serialize(text);
    const std::string name = (folder.path / "All.cfg").string();
    ASSERT_TRUE(
        glo_config::writeFileAtomically(name.c_str(), [&](std::ostream& o) { o << text.str(); }));
    EXPECT_FALSE(fs::exists(folder.path / "All.cfg.tmp"));
    EXPECT_EQ(readFile(folder / L"All.cfg").substr(0, sizeof kExample - 1), kExample);
    std::vector<CGlo_FunctionSetup> fromFile = readAll(std::ifstream(folder.path / "All.cfg"));
    ASSERT_EQ(fromFile.size(), setups.size() + 1); // first: the lines before any "[Function]"
    EXPECT_FALSE(fromFile[0].IsValid());

    StoreFile store(std::vector<std::vector<const wchar_t*>>(
        setups.size() + 2, std::vector<const wchar_t*>(8, L"old")));
    ASSERT_TRUE(store.open());
    ASSERT_TRUE(store.writeItem(L"App") && store.writeItem(L"\n"));
    for (CGlo_FunctionSetup& s : setups)
        s.serialize(store);
    EXPECT_TRUE(store.clearRemaining() && store.close());
    std::wstring header;
    ASSERT_TRUE(store.open() && store.readItem(header) && header == L"App");

    for (size_t i = 0; i < setups.size(); ++i) {
        CGlo_FunctionSetup fromStore(L"", GLO_NoEvent);
        fromStore.deserialize(store);
        EXPECT_EQ(dump(fromFile[i + 1]), dump(setups[i])) << i;
        EXPECT_EQ(dump(fromStore), dump(setups[i])) << i;
    }
}

TEST(DamagedFile, MalformedTruncatedAndLongLines) {
    // Read like atoi and "%d": text before a key or after the digits is ignored, 0 without
    // digits, saturation instead of overflow; a name keeps 31 characters.
    EXPECT_EQ(dump(readOne("Function=First\n  Threshold= +12abc\nButton=x\nAxis=1,2\n"
                           "AxisPolarity=  -1   1\t-1\nNumberOfAxis=99999999999\nFunction=" +
                           std::string(5000, 'n') + "\n")),
              std::wstring(31, L'n') + L"|0|2147483647|12|0|0|1/-1|0/1|0/-1|0/0|0/0|0/0");
    EXPECT_FALSE(readOne("Function=N\nEventType=motion\nNumberOfAxis=1\nAxis=0\n"
                         "AxisPolarity=1\nThreshold=-5\n")
                     .IsValid());

    // 258 characters are read; the 259th and everything after it on that line are not.
    const std::string fits = std::string(258 - 12, ' ') + "Threshold=77";
    EXPECT_EQ(readOne(fits + "\n").getThreshold(), 77);
    EXPECT_EQ(readOne(fits + "\r\n").getThreshold(), 77); // CR is not content
    EXPECT_EQ(readOne(" " + fits + "\n").getThreshold(), 7);

    // Truncated: until its second polarity is complete MyPan cannot be valid.
    const std::string full(kExample);
    for (size_t cut = 0; cut <= full.size(); ++cut)
        for (CGlo_FunctionSetup& s : readAll(std::istringstream(full.substr(0, cut))))
            EXPECT_FALSE(cut < full.find("AxisPolarity=1 -1") + 17 && s.IsValid()) << cut;
}

TEST(DamagedFile, NulBytesBinaryJunkAndHugeLinesAreSkipped) {
    std::string junk;
    unsigned state = 7;
    for (int i = 0; i < 300000; ++i) // NUL, CR, Ctrl-Z, 0xFF, lone LF ...
        junk += static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    writeFile(folder / L"Junk.cfg",
              junk + "\n[Function]\nFunction=Good\nEventType=button\nButton=2\n" +
                  std::string(100000, 'x') + "Button=9\n" +
                  std::string("ButtonEvent=press\0junk", 23) + "\n" + std::string("\0Button=9", 9) +
                  "\n" + junk);
    // Neither the cut line nor the one starting with NUL sets the button.
    const std::wstring good =
        dump(CGlo_FunctionSetup(L"Good", GLO_ButtonEvent, 2, GLO_ButtonPress));
    int found = 0;
    for (CGlo_FunctionSetup& s : readAll(std::ifstream(folder.path / "Junk.cfg", std::ios::binary)))
        found += dump(s) == good;
    EXPECT_EQ(found, 1);
}

// A null or empty item ends its section. (Reading across sections: the round trips.)
TEST(ExchangeCursor, ANullOrEmptyItemEndsItsSection) {
    StoreFile ended({{L"A", nullptr, L"hidden"}, {L"B", L"", L"hidden"}, {L"C"}});
    std::vector<std::wstring> items;
    ASSERT_TRUE(ended.open());
    for (std::wstring item; ended.readItem(item);)
        items.push_back(item);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"A", L"B", L"C"}));
}

// Out of memory, a read cannot copy its item and the cursor stays: the read must end the
// transfer, or a reload (read setups while sections are left) never ends.
TEST(ExchangeCursor, AReadThatRunsOutOfMemoryEndsTheTransfer) {
    ASSERT_GT(heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll")), 0);
    const std::wstring name(1000, L'n');
    StoreFile file({{L"App"},
                    {name.c_str(), L"motion", L"1", L"0", L"1", L"20"},
                    {L"Key", L"button", L"3", L"press"}});
    std::wstring item;
    ASSERT_TRUE(file.open() && file.readItem(item));
    heap_call_counter::failingFrom() = 2000;
    int rounds = 0;
    for (; file.hasMoreSections() && rounds < 100; ++rounds)
        CGlo_FunctionSetup(L"", GLO_NoEvent).deserialize(file);
    heap_call_counter::failingFrom() = 0;
    EXPECT_EQ(rounds, 1);
    EXPECT_FALSE(file.readItem(item));
}

// Records that exactly fill their sections, and a button setup whose transition has no word:
// every record must come back, in step.
TEST(ExchangeRoundTrip, FullSectionsAndBadButtonTransitionsKeepTheRecordsInStep) {
    StoreFile file({{L"old", L"x"},
                    {L"a", L"b", L"c", L"d"},
                    {L"a", L"b", L"c", L"d"},
                    {L"a", L"b", L"c", L"d", L"e", L"f"},
                    {L"a", L"b", L"c", L"d", L"e"},
                    {L"stale", L"x"}});
    const GLO_ButtonEventType unknown = static_cast<GLO_ButtonEventType>(7);
    std::vector<CGlo_FunctionSetup> setups = {
        CGlo_FunctionSetup(L"Key", GLO_ButtonEvent, 3, GLO_ButtonPress),
        CGlo_FunctionSetup(L"Bad", GLO_ButtonEvent, 5, unknown),
        CGlo_FunctionSetup(L"Pan", GLO_MotionEvent, 2, 0, 2, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, 30),
        CGlo_FunctionSetup(L"Release", GLO_ButtonEvent, 1, GLO_ButtonRelease)};
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.writeItem(L"App") && file.writeItem(CGdrConfigFile::EndOfRecord));
    for (CGlo_FunctionSetup& s : setups)
        s.serialize(file);
    // A record longer than its section loses its last items, not the records after it.
    EXPECT_TRUE(file.writeItem(L"Over") && file.writeItem(L"button") && !file.writeItem(L"2"));
    EXPECT_TRUE(file.writeItem(CGdrConfigFile::EndOfRecord) && !file.hasMoreSections());
    EXPECT_TRUE(file.clearRemaining() && file.close() && file.writes == 1);
    EXPECT_EQ(file.content(), (Content{{L"App", L""},
                                       {L"Key", L"button", L"3", L"press"},
                                       {L"Bad", L"button", L"5", L"none"},
                                       {L"Pan", L"motion", L"2", L"0 2", L"1 -1", L"30"},
                                       {L"Release", L"button", L"1", L"release", L""},
                                       {L"Over", L"button"}}));

    std::wstring header;
    ASSERT_TRUE(file.open() && file.readItem(header) && header == L"App");
    setups[1] = CGlo_FunctionSetup(L"Bad", GLO_ButtonEvent, 5, GLO_NoButtonEvent);
    for (CGlo_FunctionSetup& s : setups) {
        CGlo_FunctionSetup fromStore(L"", GLO_NoEvent);
        fromStore.deserialize(file);
        EXPECT_EQ(dump(fromStore), dump(s));
    }
    // The same records again change nothing, so the store is not called.
    ASSERT_TRUE(file.open() && file.writeItem(L"App") &&
                file.writeItem(CGdrConfigFile::EndOfRecord));
    for (CGlo_FunctionSetup& s : setups)
        s.serialize(file);
    EXPECT_TRUE(!file.isDirty() && file.close() && file.writes == 1);
}

TEST(AtomicWrite, AFailedWriteKeepsTheOldFile) {
    const std::string name = (folder.path / "App.cfg").string();
    writeFile(folder / L"App.cfg", "precious\r\n");
    // The writer dies half-way (as a process would): an exception or a stream left failed.
    EXPECT_FALSE(glo_config::writeFileAtomically(name.c_str(), [](std::ostream& out) {
        out << "half";
        throw std::runtime_error("gone");
    }));
    EXPECT_FALSE(glo_config::writeFileAtomically(name.c_str(), [](std::ostream& out) {
        out << "half";
        out.setstate(std::ios::badbit);
    }));
    EXPECT_EQ(readFile(folder / L"App.cfg"), "precious\r\n");
    EXPECT_FALSE(fs::exists(name + ".tmp"));
}

TEST(ConfigCheckTool, ReportsSkippedRecordsAndDamagedLines) {
    writeFile(folder / L"Edited.cfg",
              "[Function]\r\nFunction=MyPan\r\nEventType=Motion\r\n[Function]\r\n"
              "Function=MyKey\r\nEventType=button\r\n" +
                  std::string(400, 'x') + "\r\n" + std::string("Button=\0x", 9) +
                  "\r\nButton=3\r\nButtonEvent=press\r\n[Function]\r\nFunction=Cut\r\n"
                  "EventType=button\r\nButton=3");
    // The tests run in the folder the tool is built into; cmd strips the outer quotes.
    auto run = [&](const wchar_t* file, std::string& output, const wchar_t* options = L"") {
        FILE* pipe = _wpopen(
            (L"\"glo_cfgcheck.exe " + std::wstring(options) + L"\"" + (folder / file) + L"\"\"")
                .c_str(),
            L"rb");
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        return _pclose(pipe);
    };
    std::string output;
    EXPECT_EQ(run(L"Edited.cfg", output), 1) << output;
    for (const char* line :
         {"lines 1-3: \"MyPan\" (no event type): SKIPPED, event type unknown",
          "line 7: 400 characters; only the first 258 are read",
          "line 8: contains a NUL byte; the text after it is ignored",
          "lines 4-10: \"MyKey\" (button 3 on press): loaded",
          "lines 11-14: \"Cut\" (button 3 on none): SKIPPED, no button transition",
          "truncated at end of file, record lacks \"ButtonEvent=\"",
          "1 loaded, 2 skipped, 1 ignored lines"})
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    EXPECT_EQ(run(L"None.cfg", output), 2);

    // Asked about one function, the records of the others are neither loaded nor skipped.
    output.clear();
    EXPECT_EQ(run(L"Edited.cfg", output, L"--function MyKey "), 0) << output;
    for (const char* line : {"lines 1-3: \"MyPan\" (no event type): not asked",
                             "lines 4-10: \"MyKey\" (button 3 on press): loaded",
                             "lines 11-14: \"Cut\" (button 3 on none): not asked",
                             "1 loaded, 0 skipped, 2 not asked, 1 ignored lines"})
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
}
