// A small application for the tests: three functions, one fixed button setup ("Key", button 4),
// one default motion setup ("Zoom"), and counters for the calls the base class makes.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "GloApplication.h"

namespace apptest {

inline void noop(const CGlo_Event&) {}

inline CGlo_PluginFunction gFunctions[] = {
    {L"Pan", GLO_TwoAxisFunction, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Zoom", GLO_OneAxisFunction, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Key", GLO_ButtonFunction, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

class TestApplication : public CGlo_Application {
public:
    int match(HWND window) override { return lastWindow = window, 7; }
    int init() override { return 11; }
    int sendevent(CGlo_Event& event) override { return lastEvent = event, 13; }
    int getNumberOfFunctions() override { return 3; }
    CGlo_PluginFunction* queryFunction(const wchar_t* name) override {
        for (CGlo_PluginFunction& f : gFunctions)
            if (std::wstring(f.getName()) == name)
                return &f;
        return nullptr;
    }
    CGlo_PluginFunction* queryFunction(int index) override {
        return index >= 0 && index < 3 ? &gFunctions[index] : nullptr;
    }
    int setConfiguration(CGlo_FunctionSetup* setups, int size) override {
        lastSetups = setups;
        lastSize = size;
        return 17;
    }
    int setDefaultConfiguration() override {
        ++defaultCalls;
        CGlo_FunctionSetup zoom(L"Zoom", GLO_MotionEvent, 1, 2, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1,
                                10);
        multiplexer.addConnection(zoom, queryFunction(L"Zoom"));
        return 19;
    }
    int setButtonConfiguration() override {
        ++buttonCalls;
        CGlo_FunctionSetup key(L"Key", GLO_ButtonEvent, 4, GLO_ButtonPress);
        multiplexer.addConnection(key, queryFunction(L"Key"));
        return 23;
    }

    const wchar_t* fileName() const { return configFileName; }
    // Names of the connections in table order, separated by blanks.
    std::wstring connections() {
        std::wstring out;
        for (int i = 0; i < getNumberOfConnections(); ++i)
            out += std::wstring(i > 0 ? L" " : L"") + queryFunctionSetup(i)->getName();
        return out;
    }

    int defaultCalls = 0;
    int buttonCalls = 0;
    HWND lastWindow = nullptr;
    CGlo_Event lastEvent;
    CGlo_FunctionSetup* lastSetups = nullptr;
    int lastSize = 0;
};

// Removes the file before and after the test.
struct FileGuard {
    explicit FileGuard(const std::wstring& name) : name(name) { DeleteFileW(name.c_str()); }
    ~FileGuard() { DeleteFileW(name.c_str()); }
    std::wstring name;
};

inline std::string readFile(const std::wstring& name) {
    std::ifstream in(name.c_str(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const std::wstring& name, const std::string& content) {
    std::ofstream(name.c_str(), std::ios::binary | std::ios::trunc) << content;
}

} // namespace apptest
