// Replacing configuration files: the old file survives every failed or unfinished write.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

#include "ConfigTestSupport.h"
#include "GdrConfigFile.h"

using namespace cfgtest;

TEST(AtomicWrite, ReplacesTheFileOnlyWhenComplete) {
    TempFolder folder;
    const std::wstring file = folder.file(L"App.cfg");
    writeBytes(file, "old content\r\n");
    bool sawOld = false;
    auto write = [&](std::ostream& out) {
        out << "line one\nline two\n";
        out.flush();
        // Until the writer is done the user's file is untouched.
        sawOld = readBytes(file) == "old content\r\n";
    };
    ASSERT_TRUE(glo_config::writeFileAtomically(folder.narrow(L"App.cfg").c_str(), write));
    EXPECT_TRUE(sawOld);
    EXPECT_EQ(readBytes(file), "line one\r\nline two\r\n");
    EXPECT_FALSE(exists(file + L".tmp"));

    // A new file is created the same way.
    const std::wstring fresh = folder.file(L"New.cfg");
    ASSERT_TRUE(glo_config::writeFileAtomicallyW(
        fresh.c_str(), [](std::ostream& out, void*) { out << "x\n"; }, nullptr));
    EXPECT_EQ(readBytes(fresh), "x\r\n");
}

TEST(AtomicWrite, AFailedWriteKeepsTheOldFile) {
    TempFolder folder;
    const std::wstring file = folder.file(L"App.cfg");
    writeBytes(file, "precious\r\n");
    const std::string name = folder.narrow(L"App.cfg");

    // The writer dies half-way (as a process would): an exception ...
    EXPECT_FALSE(glo_config::writeFileAtomically(name.c_str(), [](std::ostream& out) {
        out << "half";
        throw std::runtime_error("gone");
    }));
    // ... or a stream left failed.
    EXPECT_FALSE(glo_config::writeFileAtomically(name.c_str(), [](std::ostream& out) {
        out << "half";
        out.setstate(std::ios::badbit);
    }));
    EXPECT_EQ(readBytes(file), "precious\r\n");
    EXPECT_FALSE(exists(file + L".tmp"));

    // The replacement itself fails: the target is a folder.
    const std::wstring dir = folder.file(L"Dir.cfg");
    CreateDirectoryW(dir.c_str(), nullptr);
    EXPECT_FALSE(glo_config::writeFileAtomicallyW(
        dir.c_str(), [](std::ostream& out, void*) { out << "x\n"; }, nullptr));
    EXPECT_FALSE(exists(dir + L".tmp"));

    // A second writer of the same file while the first is busy fails instead of mixing.
    bool innerResult = true;
    EXPECT_TRUE(glo_config::writeFileAtomically(name.c_str(), [&](std::ostream& out) {
        out << "outer\n";
        innerResult =
            glo_config::writeFileAtomically(name.c_str(), [](std::ostream& o) { o << "inner\n"; });
    }));
    EXPECT_FALSE(innerResult);
    EXPECT_EQ(readBytes(file), "outer\r\n");

    EXPECT_FALSE(glo_config::writeFileAtomically("", [](std::ostream&) {}));
    EXPECT_FALSE(glo_config::writeFileAtomicallyW(nullptr, nullptr, nullptr));
}

TEST(AtomicWrite, LargeContentIsWrittenWhole) {
    TempFolder folder;
    const std::wstring file = folder.file(L"Big.cfg");
    ASSERT_TRUE(glo_config::writeFileAtomicallyW(
        file.c_str(),
        [](std::ostream& out, void*) {
            for (int i = 0; i < 20000; ++i)
                out << "Line " << i << "\n";
        },
        nullptr));
    const std::string bytes = readBytes(file);
    EXPECT_EQ(bytes.substr(0, 8), "Line 0\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 12), "Line 19999\r\n");
    size_t lines = 0;
    for (size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, 20000u);
}
