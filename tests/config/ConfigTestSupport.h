// Temporary folders, file contents and setup comparisons for the configuration tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "GloFunctionSetup.h"
#include "config/ConfigRecord.h"

namespace cfgtest {

// A fresh folder below the prefix's temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int counter = 0;
        path = std::wstring(base) + L"glo_config_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++counter);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") {
                    std::wstring full = path + L"\\" + name;
                    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                        RemoveDirectoryW(full.c_str());
                    else
                        DeleteFileW(full.c_str());
                }
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(path.c_str());
    }
    std::wstring file(const wchar_t* name) const { return path + L"\\" + name; }
    std::string narrow(const wchar_t* name) const {
        std::wstring w = file(name);
        char out[MAX_PATH * 2];
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, out, sizeof out, nullptr, nullptr);
        return out;
    }
    std::wstring path;
};

inline bool exists(const std::wstring& file) {
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void writeBytes(const std::wstring& file, const std::string& bytes) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

inline std::string readBytes(const std::wstring& file) {
    std::string bytes;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

inline glo_config::RecordFields fields(const CGlo_FunctionSetup& setup) {
    glo_config::RecordFields f;
    glo_config::fieldsOf(setup, f);
    return f;
}

// Every field a record carries.
inline ::testing::AssertionResult sameSetup(const CGlo_FunctionSetup& a,
                                            const CGlo_FunctionSetup& b) {
    glo_config::RecordFields x = fields(a), y = fields(b);
    bool same = wcscmp(x.name, y.name) == 0 && x.eventType == y.eventType &&
                x.numberOfAxes == y.numberOfAxes && x.threshold == y.threshold &&
                x.button == y.button && x.buttonEvent == y.buttonEvent;
    for (int i = 0; i < 6; ++i)
        same = same && x.axis[i] == y.axis[i] && x.polarity[i] == y.polarity[i];
    if (same)
        return ::testing::AssertionSuccess();
    std::ostringstream s;
    s << "type " << x.eventType << "/" << y.eventType << " axes " << x.numberOfAxes << "/"
      << y.numberOfAxes << " threshold " << x.threshold << "/" << y.threshold << " button "
      << x.button << "/" << y.button << " event " << x.buttonEvent << "/" << y.buttonEvent;
    return ::testing::AssertionFailure() << s.str();
}

// One record read from text, as the file reader sees it.
inline CGlo_FunctionSetup readOne(const std::string& text) {
    std::istringstream in(text);
    CGlo_FunctionSetup setup(L"", GLO_NoEvent);
    setup.deserialize(in);
    return setup;
}

// Every record of a stream, as the application's reload loop reads them.
inline std::vector<CGlo_FunctionSetup> readAll(std::istream& in) {
    std::vector<CGlo_FunctionSetup> records;
    while (!in.eof() && !in.fail()) {
        CGlo_FunctionSetup setup(L"", GLO_NoEvent);
        setup.deserialize(in);
        records.push_back(setup);
    }
    return records;
}

inline std::vector<CGlo_FunctionSetup> validOnly(const std::vector<CGlo_FunctionSetup>& all) {
    std::vector<CGlo_FunctionSetup> valid;
    for (CGlo_FunctionSetup s : all)
        if (s.IsValid())
            valid.push_back(s);
    return valid;
}

} // namespace cfgtest
