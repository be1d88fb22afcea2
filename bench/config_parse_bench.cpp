// Reloading an application's configuration file of 1000 records (open, parse, validate and
// connect, as CGlo_Application::deserialize() does), the reader alone over the same file, and
// writing the file back. Median of several runs.
#include <windows.h>

#include "bench/BenchClock.h"
#include "bench/BenchFigures.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "GdrConfigFile.h"
#include "GloApplication.h"
#include <fstream>

namespace {

void noop(const CGlo_Event&) {}

const int kFunctions = 40;
const int kRecords = 1000;

std::vector<CGlo_PluginFunction> gFunctions;

class BenchApp : public CGlo_Application {
public:
    int match(HWND) override { return 0; }
    int init() override { return 1; }
    int sendevent(CGlo_Event&) override { return 0; }
    int getNumberOfFunctions() override { return kFunctions; }
    CGlo_PluginFunction* queryFunction(const wchar_t* n) override {
        for (CGlo_PluginFunction& f : gFunctions)
            if (wcscmp(f.getName(), n) == 0)
                return &f;
        return nullptr;
    }
    CGlo_PluginFunction* queryFunction(int i) override {
        return i >= 0 && i < kFunctions ? &gFunctions[i] : nullptr;
    }
    int setConfiguration(CGlo_FunctionSetup*, int) override { return 0; }
    int setDefaultConfiguration() override { return 0; }
    int setButtonConfiguration() override { return 0; }
};

// The records alone: a byte stream and the setup reader, no connections.
int parseOnly(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    int valid = 0;
    while (!in.eof() && !in.fail()) {
        CGlo_FunctionSetup setup(L"", GLO_NoEvent);
        setup.deserialize(in);
        valid += setup.IsValid();
    }
    return valid;
}

template <class F> double median(int runs, F f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double start = benchSeconds();
        f();
        t.push_back((benchSeconds() - start) * 1000.0); // milliseconds
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

} // namespace

int main() {
    for (int i = 0; i < kFunctions; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"NavigationFunction%02d", i);
        gFunctions.emplace_back(name, GLO_TwoAxisFunction, noop, 1, 2, 4, 3, 5, 0, 0, 0, 0, 0, 0, 0,
                                0);
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"glo_config_bench";
    const std::wstring file = base + L".cfg";

    // The file as the application writes it: motion setups of 0..6 axes (button setups are
    // never stored: every load rebuilds them).
    BenchApp app;
    app.setName(base.c_str());
    for (int r = 0; r < kRecords; ++r) {
        CGlo_PluginFunction& f = gFunctions[r % kFunctions];
        CGlo_FunctionSetup s(f.getName(), GLO_MotionEvent, r % 7, 0, 1, 2, 3, 4, 5, 1, -1, 1, -1, 1,
                             -1, r % 200);
        app.getMultiplexer().addConnection(s, &f);
    }
    const double write = median(11, [&] { app.serialize(); });

    BenchApp reloaded;
    reloaded.setName(base.c_str());
    reloaded.deserialize();
    if (reloaded.getNumberOfConnections() != kRecords) {
        printf("reload found %d of %d records\n", reloaded.getNumberOfConnections(), kRecords);
        DeleteFileW(file.c_str());
        return 1;
    }
    const double reload = median(21, [&] { reloaded.deserialize(); });
    char narrowName[MAX_PATH * 2];
    WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, narrowName, sizeof narrowName, nullptr,
                        nullptr);
    if (parseOnly(narrowName) != kRecords)
        printf("reader found %d records\n", parseOnly(narrowName));
    const double parse = median(21, [&] { parseOnly(narrowName); });

    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
    printf("config_parse_bench: %d records, %lu bytes\n", kRecords,
           static_cast<unsigned long>(data.nFileSizeLow));
    printf("  reload (open, parse, validate, connect): median %.3f ms\n", reload);
    printf("  records alone (binary stream, reader):  median %.3f ms\n", parse);
    printf("  save (serialize, temporary + replace):   median %.3f ms\n", write);
    benchFigure("configuration reload, 1000 records", reload, 2, "ms", "<= 5");
    benchFigure("configuration records parsed, 1000", parse, 2, "ms");
    benchFigure("configuration save, 1000 records", write, 2, "ms");
    DeleteFileW(file.c_str());
    return 0;
}
