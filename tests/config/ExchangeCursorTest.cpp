// The configuration exchange cursor over a store that holds sections, and the setup and
// multiplexer transfers through it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConfigTestSupport.h"
#include "GdrConfigFile.h"
#include "GloEventMultiplexer.h"

using namespace cfgtest;

namespace {

// Sections allocated from the process heap as a driver's store would hand them over; counts
// the store's calls and keeps what was written.
class StoreFile : public CGdrConfigFile {
public:
    // nullptr in a section stands for a null slot.
    explicit StoreFile(const std::vector<std::vector<const wchar_t*>>& content)
        : CGdrConfigFile(getCoreProxy()), reads(0), writes(0), acceptWrites(true) {
        for (const std::vector<const wchar_t*>& items : content) {
            GdrConfigSection s;
            s.itemCount = static_cast<int>(items.size());
            s.items = static_cast<wchar_t**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                       sizeof(wchar_t*) * (items.size() + 1)));
            for (size_t i = 0; i < items.size(); ++i)
                if (items[i] != nullptr) {
                    const size_t n = wcslen(items[i]) + 1;
                    s.items[i] =
                        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, n * sizeof(wchar_t)));
                    wcscpy(s.items[i], items[i]);
                }
            store.push_back(s);
        }
    }
    ~StoreFile() override {
        for (GdrConfigSection& s : store) {
            for (int i = 0; i < s.itemCount; ++i)
                if (s.items[i] != nullptr)
                    HeapFree(GetProcessHeap(), 0, s.items[i]);
            HeapFree(GetProcessHeap(), 0, s.items);
        }
    }
    // The store's content; null slots read "<null>".
    std::vector<std::vector<std::wstring>> content() const {
        std::vector<std::vector<std::wstring>> out;
        for (const GdrConfigSection& s : store) {
            out.emplace_back();
            for (int i = 0; i < s.itemCount; ++i)
                out.back().push_back(s.items[i] ? s.items[i] : L"<null>");
        }
        return out;
    }
    std::vector<std::wstring> readAllItems() {
        std::vector<std::wstring> items;
        std::wstring item;
        while (readItem(item))
            items.push_back(item);
        return items;
    }

    int reads, writes;
    bool acceptWrites;
    std::vector<GdrConfigSection> store;

protected:
    bool readStoredSections(const wchar_t* name, int& count, GdrConfigSection*& list) override {
        ++reads;
        EXPECT_STREQ(name, L"AXIS_FUNCTIONS");
        count = static_cast<int>(store.size());
        list = store.empty() ? nullptr : store.data();
        return true;
    }
    bool writeStoredSections(const wchar_t*, int count, GdrConfigSection* list) override {
        ++writes;
        EXPECT_EQ(count, static_cast<int>(store.size()));
        EXPECT_EQ(list, store.data());
        return acceptWrites;
    }
};

typedef std::vector<std::vector<std::wstring>> Content;

void noop(const CGlo_Event&) {}

} // namespace

TEST(ExchangeCursor, TheSystemStoreOpensNothing) {
    CGdrConfigFile file(getCoreProxy());
    EXPECT_STREQ(file.getSectionName().c_str(), L"AXIS_FUNCTIONS");
    EXPECT_FALSE(file.open());
    std::wstring item = L"stale";
    EXPECT_FALSE(file.readItem(item));
    EXPECT_TRUE(item.empty());
    EXPECT_FALSE(file.writeItem(L"x"));
    EXPECT_FALSE(file.clearRemaining());
    EXPECT_FALSE(file.hasMoreSections());
    EXPECT_TRUE(file.flush());
    EXPECT_TRUE(file.close());
}

TEST(ExchangeCursor, OpenNeedsAFirstItem) {
    StoreFile none({});
    EXPECT_FALSE(none.open());
    StoreFile emptyFirst({{}, {L"A"}});
    EXPECT_FALSE(emptyFirst.open());
    EXPECT_EQ(emptyFirst.getSectionCount(), 0);
    StoreFile good({{L"App", L"\n"}, {L"A"}});
    ASSERT_TRUE(good.open());
    EXPECT_EQ(good.getApplicationKey(), L"App");
    EXPECT_EQ(good.getSectionCount(), 2);
}

TEST(ExchangeCursor, ReadingRunsAcrossSectionsAndSkipsEmptyItems) {
    StoreFile file({{L"A"}, {L"B", L"motion", L"1", L"0", L"1", L"20"}});
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.readAllItems(),
              (std::vector<std::wstring>{L"A", L"B", L"motion", L"1", L"0", L"1", L"20"}));
    EXPECT_FALSE(file.hasMoreSections());

    // A null or empty slot ends its section's record; the rest of that section is not read.
    StoreFile ended({{L"A", nullptr, L"hidden"}, {L"B", L"", L"hidden"}, {L"C"}});
    ASSERT_TRUE(ended.open());
    EXPECT_EQ(ended.readAllItems(), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    ended.rewind();
    std::wstring item;
    ASSERT_TRUE(ended.readItem(item));
    EXPECT_EQ(item, L"A");
}

TEST(ExchangeCursor, WritingTheHeaderOverwritesInPlace) {
    StoreFile file({{L"old name", L"x", L"y"}, {L"keep"}});
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.writeItem(L"new name"));
    EXPECT_TRUE(file.writeItem(CGdrConfigFile::EndOfRecord));
    EXPECT_TRUE(file.isDirty());
    EXPECT_EQ(file.getSectionIndex(), 1);
    EXPECT_TRUE(file.close());
    EXPECT_EQ(file.writes, 1);
    EXPECT_EQ(file.content(), (Content{{L"new name", L"", L""}, {L"keep"}}));

    // The same name again changes nothing, so the store is not called.
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.writeItem(L"new name"));
    EXPECT_TRUE(file.writeItem(CGdrConfigFile::EndOfRecord));
    EXPECT_FALSE(file.isDirty());
    EXPECT_TRUE(file.close());
    EXPECT_EQ(file.writes, 1);
}

TEST(ExchangeCursor, AFullSectionStopsTheWriteAndClearRemainingEmptiesTheRest) {
    StoreFile file({{L"App", L"\n"}, {L"a", L"b", L"c", L"d"}, {L"e", L"f"}, {L"g", nullptr}});
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.writeItem(L"App"));
    ASSERT_TRUE(file.writeItem(L"\n"));
    for (const wchar_t* item : {L"Key", L"button", L"3", L"press"})
        EXPECT_TRUE(file.writeItem(item));
    EXPECT_FALSE(file.writeItem(L"\n")); // no slot left for the end of the record
    EXPECT_EQ(file.getSectionIndex(), 1);
    EXPECT_FALSE(file.writeItem(L"Next"));
    EXPECT_FALSE(file.writeItem(L"\n"));
    EXPECT_TRUE(file.clearRemaining());
    EXPECT_FALSE(file.hasMoreSections());
    EXPECT_TRUE(file.close());
    EXPECT_EQ(
        file.content(),
        (Content{
            {L"App", L""}, {L"Key", L"button", L"3", L"press"}, {L"", L""}, {L"", L"<null>"}}));
}

TEST(ExchangeCursor, ARefusedStoreKeepsTheChangesPending) {
    StoreFile file({{L"App"}});
    ASSERT_TRUE(file.open());
    file.acceptWrites = false;
    ASSERT_TRUE(file.writeItem(L"Other"));
    EXPECT_FALSE(file.flush());
    EXPECT_TRUE(file.isDirty());
    file.acceptWrites = true;
    EXPECT_TRUE(file.flush());
    EXPECT_FALSE(file.isDirty());
    EXPECT_EQ(file.writes, 2);
}

TEST(ExchangeCursor, BrokenSectionListsAreReadSafely) {
    StoreFile file({{L"App"}, {L"A"}, {L"B"}});
    file.store[1].items = nullptr; // leaked on purpose: the test owns no slot array for it
    HeapFree(GetProcessHeap(), 0, file.store[2].items[0]);
    HeapFree(GetProcessHeap(), 0, file.store[2].items);
    file.store[2].itemCount = -3;
    file.store[2].items = static_cast<wchar_t**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 8));
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.readAllItems(), (std::vector<std::wstring>{L"App"}));
    file.rewind();
    EXPECT_TRUE(file.clearRemaining());
    file.store[1].itemCount = 0; // nothing for the destructor to free
    file.store[2].itemCount = 0;
}

TEST(ExchangeTransfer, EverySetupKindRoundTrips) {
    std::vector<CGlo_FunctionSetup> setups;
    for (int n = 0; n <= 6; ++n)
        setups.push_back(CGlo_FunctionSetup(L"Motion", GLO_MotionEvent, n, 5, 4, 3, 2, 1, 0, -1, 1,
                                            -1, 1, -1, 1, 200));
    setups.push_back(CGlo_FunctionSetup(L"Key", GLO_ButtonEvent, -2, GLO_AnyButtonEvent));
    setups.push_back(CGlo_FunctionSetup(L"Release", GLO_ButtonEvent, 7, GLO_ButtonRelease));
    setups.push_back(CGlo_FunctionSetup(L"Other", GLO_NoEvent));
    std::vector<std::vector<const wchar_t*>> slots(setups.size() + 2,
                                                   std::vector<const wchar_t*>(8, L"old"));
    StoreFile file(slots);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.writeItem(L"App"));
    ASSERT_TRUE(file.writeItem(L"\n"));
    for (CGlo_FunctionSetup& s : setups)
        s.serialize(file);
    EXPECT_TRUE(file.clearRemaining());
    EXPECT_TRUE(file.close());
    Content stored = file.content();
    EXPECT_EQ(stored[2], (std::vector<std::wstring>{L"Motion", L"motion", L"1", L"5", L"-1", L"200",
                                                    L"", L""}));
    EXPECT_EQ(stored[7][3], L"5 4 3 2 1 0");
    EXPECT_EQ(stored[setups.size()][0], L"Other");
    EXPECT_EQ(stored[setups.size()][1], L"");
    EXPECT_EQ(stored.back(), std::vector<std::wstring>(8, L""));

    ASSERT_TRUE(file.open());
    std::wstring header;
    ASSERT_TRUE(file.readItem(header));
    EXPECT_EQ(header, L"App");
    for (size_t i = 0; i < setups.size(); ++i) {
        CGlo_FunctionSetup back(L"", GLO_NoEvent);
        back.deserialize(file);
        CGlo_FunctionSetup expected = setups[i];
        glo_config::RecordFields f = fields(expected);
        for (int a = f.numberOfAxes > 0 ? f.numberOfAxes : 1; a < 6; ++a)
            f.axis[a] = f.polarity[a] = 0; // unused entries are not transferred
        glo_config::applyFields(expected, f);
        EXPECT_TRUE(sameSetup(back, expected)) << i;
    }
    EXPECT_TRUE(file.close());
}

TEST(ExchangeTransfer, ShortRecordsStopWhereTheItemsEnd) {
    // The button record lacks its transition; the reader runs on into the next record.
    StoreFile file({{L"Key", L"button"}, {L"7", L"press", L"Pan", L"motion"}});
    ASSERT_TRUE(file.open());
    CGlo_FunctionSetup a(L"", GLO_NoEvent), b(L"", GLO_NoEvent);
    a.deserialize(file);
    EXPECT_EQ(fields(a).button, 7);
    EXPECT_EQ(fields(a).buttonEvent, GLO_ButtonPress);
    b.deserialize(file);
    EXPECT_STREQ(b.getName(), L"Pan");
    EXPECT_EQ(b.getEventType(), GLO_MotionEvent);
    EXPECT_FALSE(b.IsValid());
    EXPECT_FALSE(file.hasMoreSections());
}

TEST(ExchangeTransfer, MultiplexerWritesItsConnectionsInTableOrder) {
    CGlo_PluginFunction pan(L"Pan", GLO_TwoAxisFunction, noop, 1, 2, 4, 3, 5, 0, 0, 0, 0, 0, 0, 0,
                            0);
    CGlo_PluginFunction key(L"Key", GLO_ButtonFunction, noop, 25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0);
    CGlo_EventMultiplexer mux;
    CGlo_FunctionSetup a(L"Key", GLO_ButtonEvent, 1, GLO_ButtonPress);
    CGlo_FunctionSetup b(L"Pan", GLO_MotionEvent, 2, 0, 1, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, 10);
    mux.addConnection(a, &key);
    mux.addConnection(b, &pan);
    const std::vector<const wchar_t*> blank(8, L"");
    StoreFile file({{L"App", L"\n"}, blank, blank, blank});
    ASSERT_TRUE(file.open());
    file.writeItem(L"App");
    file.writeItem(L"\n");
    mux.serialize(file);
    file.clearRemaining();
    file.close();
    Content stored = file.content();
    EXPECT_EQ(stored[1][0], L"Key");
    EXPECT_EQ(stored[2][0], L"Pan");
    EXPECT_EQ(stored[2][3], L"0 1");
    EXPECT_EQ(stored[2][4], L"1 -1");

    std::ostringstream text;
    mux.serialize(text);
    EXPECT_EQ(text.str().find("Function=Key"), 11u);
    EXPECT_NE(text.str().find("Function=Pan"), std::string::npos);
}
