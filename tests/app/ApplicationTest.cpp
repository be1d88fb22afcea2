#include <gtest/gtest.h>

#include <string>

#include "GdrProxy.h"
#include "TestApplication.h"

using apptest::FileGuard;
using apptest::readFile;
using apptest::TestApplication;
using apptest::writeFile;

namespace {

// A valid record, one of a function the application lacks, an invalid one (capital M), a
// valid one.
const char kFile[] = "[Function]\r\nFunction=Pan\r\nEventType=motion\r\nNumberOfAxis=2\r\n"
                     "Axis=0 2\r\nAxisPolarity=1 -1\r\nThreshold=30\r\n"
                     "[Function]\r\nFunction=Unknown\r\nEventType=motion\r\nNumberOfAxis=1\r\n"
                     "Axis=1\r\nAxisPolarity=1\r\nThreshold=5\r\n"
                     "[Function]\r\nFunction=Zoom\r\nEventType=Motion\r\nNumberOfAxis=1\r\n"
                     "Axis=1\r\nAxisPolarity=1\r\n"
                     "[Function]\r\nFunction=Zoom\r\nEventType=motion\r\nNumberOfAxis=1\r\n"
                     "Axis=5\r\nAxisPolarity=-1\r\nThreshold=12\r\n";

TEST(Application, NameFileNameAndCopies) {
    TestApplication app;
    EXPECT_STREQ(app.fileName(), L"");
    app.setName(L"Sample");
    EXPECT_STREQ(app.fileName(), L"Sample.cfg");

    const std::wstring longName(300, L'n');
    app.setName(longName.c_str());
    EXPECT_EQ(std::wstring(app.getName()), longName.substr(0, 251));
    EXPECT_EQ(std::wstring(app.fileName()), longName.substr(0, 251) + L".cfg");
    // A shorter name leaves nothing of the longer one behind.
    app.setName(L"ab");
    EXPECT_STREQ(app.fileName(), L"ab.cfg");
    for (int i = 2; i < 256; ++i)
        ASSERT_EQ(app.getName()[i], L'\0') << i;

    app.setButtonConfiguration();
    TestApplication copy;
    copy = app;
    EXPECT_STREQ(copy.fileName(), L"ab.cfg");
    app.getMultiplexer().clear(); // the copy has a table of its own
    EXPECT_EQ(copy.connections(), L"Key");
}

TEST(ApplicationFile, MissingFileGivesTheDefaultConfigurationOnly) {
    FileGuard file(L"AppTestMissing.cfg");
    TestApplication app;
    app.setName(L"AppTestMissing");
    app.setButtonConfiguration(); // present before: the fallback does not empty the table
    app.buttonCalls = 0;
    app.deserialize();
    EXPECT_EQ(app.defaultCalls, 1);
    EXPECT_EQ(app.buttonCalls, 0);
    EXPECT_EQ(app.connections(), L"Key Zoom");
}

TEST(ApplicationFile, ButtonSetupsFirstThenValidRecordsOfKnownFunctions) {
    FileGuard file(L"AppTestRead.cfg");
    writeFile(file.name, kFile);
    TestApplication app;
    app.setName(L"AppTestRead");
    app.setDefaultConfiguration(); // replaced by the reload
    app.deserialize();
    EXPECT_EQ(app.defaultCalls, 1);
    EXPECT_EQ(app.buttonCalls, 1);
    ASSERT_EQ(app.connections(), L"Key Pan Zoom");
    EXPECT_EQ(app.queryFunctionSetup(1)->getPolarity(1), -1);
    EXPECT_EQ(app.queryFunctionSetup(2)->getAxis(0), 5);

    writeFile(file.name, ""); // no records: the button setups alone
    app.deserialize();
    EXPECT_EQ(app.connections(), L"Key");
}

TEST(ApplicationFile, RoundTripThroughARealFile) {
    FileGuard file(L"AppTestRound.cfg");
    TestApplication writer;
    writer.setName(L"AppTestRound");
    writer.setButtonConfiguration();
    CGlo_FunctionSetup pan(L"Pan", GLO_MotionEvent, 2, 3, 1, 0, 0, 0, 0, -1, 1, 1, 1, 1, 1, 42);
    writer.getMultiplexer().addConnection(pan, writer.queryFunction(L"Pan"));
    writer.serialize();
    EXPECT_NE(readFile(file.name).find("Axis=3 1\r\n"), std::string::npos);

    TestApplication reader;
    reader.setName(L"AppTestRound");
    reader.deserialize();
    // The file's button record comes after the fixed one.
    ASSERT_EQ(reader.connections(), L"Key Key Pan");
    CGlo_FunctionSetup* read = reader.queryFunctionSetup(2);
    EXPECT_EQ(read->getAxis(0), 3);
    EXPECT_EQ(read->getPolarity(0), -1);
    EXPECT_EQ(read->getThreshold(), 42);
}

TEST(ApplicationFile, WritingReplacesTheFileWholeOrNotAtAll) {
    FileGuard file(L"AppTestRewrite.cfg");
    writeFile(file.name, kFile);
    TestApplication app;
    app.setName(L"AppTestRewrite");
    app.serialize(); // no connections: the file stays
    EXPECT_EQ(readFile(file.name), kFile);

    app.setButtonConfiguration();
    app.serialize();
    EXPECT_EQ(readFile(file.name), "[Function]\r\nFunction=Key\r\nEventType=button\r\nButton=4\r\n"
                                   "ButtonEvent=press\r\n");
    EXPECT_EQ(GetFileAttributesW(L"AppTestRewrite.cfg.tmp"), INVALID_FILE_ATTRIBUTES);

    // A folder in the file's place cannot be replaced: what it holds survives.
    CreateDirectoryW(L"AppTestBlocked.cfg", nullptr);
    FileGuard inner(L"AppTestBlocked.cfg\\keep.txt");
    writeFile(inner.name, "keep");
    app.setName(L"AppTestBlocked");
    app.serialize();
    EXPECT_EQ(readFile(inner.name), "keep");
    EXPECT_EQ(GetFileAttributesW(L"AppTestBlocked.cfg.tmp"), INVALID_FILE_ATTRIBUTES);
    DeleteFileW(inner.name.c_str());
    RemoveDirectoryW(L"AppTestBlocked.cfg");
}

TEST(ApplicationExchange, AStoreThatKeepsNothingChangesNothing) {
    TestApplication app;
    app.setName(L"AppTestExchange");
    app.setButtonConfiguration();
    app.serialize(getCoreProxy());
    app.deserialize(getCoreProxy());
    EXPECT_EQ(app.connections(), L"Key");
    EXPECT_EQ(app.buttonCalls, 1);
    EXPECT_EQ(app.defaultCalls, 0);
}

} // namespace
