// Configuration files mutated at random, read by an application's reload. Each reload ends (a
// watchdog ends the process, naming the input, if one does not); every record the mutation left
// untouched is read back unchanged and in order; and what was read survives a write and a second
// read unchanged. GLO_FUZZ_MUTATIONS sets the number of mutated files (10,000 by default),
// GLO_FUZZ_FIRST the first seed (to repeat a failure).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "GloApplication.h"
#include "tests/support/PluginHome.h"
#include "GloConfigRecord.h"

namespace {

void noop(const CGlo_Event&) {}

// An application that has a function of every name it is asked about, so that every valid
// record, mutated names included, is connected.
class FuzzApplication : public CGlo_Application {
public:
    explicit FuzzApplication(const std::wstring& name) { setName(name.c_str()); }
    int match(HWND) override { return 0; }
    int init() override { return 1; }
    int sendevent(CGlo_Event&) override { return 0; }
    int getNumberOfFunctions() override { return static_cast<int>(functions.size()); }
    CGlo_PluginFunction* queryFunction(const wchar_t* name) override {
        auto found = functions.find(name);
        if (found == functions.end())
            found = functions
                        .emplace(name, CGlo_PluginFunction(name, GLO_TwoAxisFunction, &noop, 0, 0,
                                                           0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0))
                        .first;
        return &found->second;
    }
    CGlo_PluginFunction* queryFunction(int) override { return nullptr; }
    int setConfiguration(CGlo_FunctionSetup*, int) override { return 1; }
    int setDefaultConfiguration() override {
        multiplexer.clear();
        return 1;
    }
    int setButtonConfiguration() override { return 1; }

    std::vector<glo_config::RecordFields> setups() {
        std::vector<glo_config::RecordFields> result;
        for (int i = 0; i < getNumberOfConnections(); ++i) {
            result.emplace_back();
            glo_config::fieldsOf(*queryFunctionSetup(i), result.back());
        }
        return result;
    }

private:
    std::map<std::wstring, CGlo_PluginFunction> functions;
};

bool same(const glo_config::RecordFields& a, const glo_config::RecordFields& b) {
    return std::wcscmp(a.name, b.name) == 0 && a.eventType == b.eventType &&
           a.numberOfAxes == b.numberOfAxes && a.threshold == b.threshold && a.button == b.button &&
           a.buttonEvent == b.buttonEvent && std::equal(a.axis, a.axis + 6, b.axis) &&
           std::equal(a.polarity, a.polarity + 6, b.polarity);
}

using glotest::readFile;
using glotest::writeFile;

// Records as the application's writer puts them in a file (CR LF line ends).
std::string writeRecords(const std::vector<glo_config::RecordFields>& records) {
    std::ostringstream written;
    for (const glo_config::RecordFields& f : records) {
        CGlo_FunctionSetup setup(L"", GLO_NoEvent);
        glo_config::applyFields(setup, f);
        setup.serialize(written);
    }
    std::string bytes;
    for (char c : written.str())
        bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return bytes;
}

// The valid records of a text, read as the application's reload reads its file.
std::vector<glo_config::RecordFields> readRecords(const std::string& bytes) {
    std::istringstream text(bytes, std::ios::in | std::ios::binary);
    std::vector<glo_config::RecordFields> out;
    while (!text.eof() && !text.fail()) {
        CGlo_FunctionSetup setup(L"", GLO_NoEvent);
        setup.deserialize(text);
        if (setup.IsValid()) {
            out.emplace_back();
            glo_config::fieldsOf(setup, out.back());
        }
    }
    return out;
}

// A file as an application writes it (CR LF line ends), with where each record starts.
struct Original {
    std::string bytes;
    std::vector<std::size_t> starts; // offset of each record's "[Function]" line
};

Original makeOriginal(std::mt19937& random) {
    std::vector<glo_config::RecordFields> records(4 + random() % 14);
    for (std::size_t r = 0; r < records.size(); ++r) {
        glo_config::RecordFields& f = records[r];
        glo_config::resetFields(f);
        swprintf(f.name, 32, L"Function%d_%u", int(r), unsigned(random() % 1000));
        if (random() % 5 == 0) { // a button record, as older files hold them
            f.eventType = GLO_ButtonEvent;
            f.button = static_cast<int>(random() % 33) - 1;
            f.button = f.button < 0 ? -2 : f.button; // the default handler, or a button
            f.buttonEvent = 1 + static_cast<int>(random() % 3);
        } else {
            f.eventType = GLO_MotionEvent;
            f.numberOfAxes = static_cast<int>(random() % 7);
            for (int i = 0; i < std::max(1, f.numberOfAxes); ++i) {
                f.axis[i] = static_cast<int>(random() % 6);
                f.polarity[i] = random() % 2 ? 1 : -1;
            }
            f.threshold = static_cast<int>(random() % 201);
        }
    }
    Original original;
    for (const glo_config::RecordFields& f : records) {
        original.starts.push_back(original.bytes.size());
        original.bytes += writeRecords({f});
    }
    return original;
}

// Mutations at increasing, non-overlapping places of the original; `touched` collects the
// original bytes they change (an insertion touches the bytes on both sides).
std::string mutate(const std::string& in, std::mt19937& random,
                   std::vector<std::pair<std::size_t, std::size_t>>& touched) {
    static const char interesting[] = {'\0', '\r',   '\n',   '=',    ' ', '-', '[', ']',
                                       '9',  '\x1a', '\xff', '\x80', 'F', 'A', ','};
    static const char* const lines[] = {"NumberOfAxis=-7",
                                        "NumberOfAxis=99999999999999",
                                        "Axis=9 9 9 9 9 9 9 9 9",
                                        "Axis=-1",
                                        "AxisPolarity=0 0",
                                        "Threshold=-5",
                                        "Threshold=2147483648",
                                        "Button=40",
                                        "ButtonEvent=",
                                        "EventType=Motion",
                                        "EventType=button motion",
                                        "Function=",
                                        "[Function]",
                                        "[Function]Function=Injected",
                                        "Axis=",
                                        "Function=Injected",
                                        "Threshold=  30junk",
                                        "Button=-2147483649"};
    const int count = 1 + static_cast<int>(random() % 3);
    std::vector<std::size_t> places;
    for (int i = 0; i < count; ++i)
        places.push_back(in.empty() ? 0 : random() % in.size());
    std::sort(places.begin(), places.end());
    std::string out;
    std::size_t copied = 0;
    for (int i = 0; i < count; ++i) {
        std::size_t at = std::max(places[i], copied);
        const std::size_t limit = i + 1 < count ? std::max(places[i + 1], at) : in.size();
        out.append(in, copied, at - copied);
        copied = at;
        const std::size_t before = at == 0 ? std::string::npos : in.rfind('\n', at - 1);
        const std::size_t lineStart = before == std::string::npos ? 0 : before + 1;
        const std::size_t after = in.find('\n', at);
        const std::size_t lineEnd =
            std::min(limit, after == std::string::npos ? in.size() : after + 1);
        switch (random() % 9) {
        case 0: // flip a bit
            if (at < limit) {
                out += static_cast<char>(in[at] ^ (1 << (random() % 8)));
                touched.emplace_back(at, at + 1);
                copied = at + 1;
            }
            break;
        case 1: // replace a byte
            if (at < limit) {
                out += interesting[random() % sizeof interesting];
                touched.emplace_back(at, at + 1);
                copied = at + 1;
            }
            break;
        case 2: { // insert bytes
            const int n = 1 + static_cast<int>(random() % 8);
            for (int k = 0; k < n; ++k)
                out += random() % 2 ? interesting[random() % sizeof interesting]
                                    : static_cast<char>(random() % 256);
            touched.emplace_back(at == 0 ? 0 : at - 1, at + 1);
            break;
        }
        case 3: { // delete bytes
            const std::size_t n = std::min<std::size_t>(1 + random() % 16, limit - at);
            touched.emplace_back(at, at + n);
            copied = at + n;
            break;
        }
        case 4: // cut the file short
            if (i + 1 == count) {
                touched.emplace_back(at, in.size() + 1);
                copied = in.size();
            }
            break;
        case 5: // the line again
            out.append(in, at, lineEnd - at);
            out.append(in, lineStart, lineEnd - lineStart);
            touched.emplace_back(lineStart, lineEnd);
            copied = lineEnd;
            break;
        case 6: // the rest of the line removed
            touched.emplace_back(at, lineEnd);
            copied = lineEnd;
            break;
        case 7: { // a line of doubtful values
            out += lines[random() % (sizeof lines / sizeof *lines)];
            out += random() % 2 ? "\r\n" : "\n";
            touched.emplace_back(at == 0 ? 0 : at - 1, at + 1);
            break;
        }
        default: { // a very long line
            out += random() % 2 ? "Function=" : "Threshold=";
            out += std::string(250 + random() % 2000, static_cast<char>('0' + random() % 10));
            out += "\r\n";
            touched.emplace_back(at == 0 ? 0 : at - 1, at + 1);
            break;
        }
        }
    }
    if (copied < in.size())
        out.append(in, copied, std::string::npos);
    return out;
}

// Record r spans its own "[Function]" line up to and including the next one, whose line ends
// it for the reader.
bool untouched(const Original& original, std::size_t r,
               const std::vector<std::pair<std::size_t, std::size_t>>& touched) {
    const std::size_t begin = original.starts[r];
    std::size_t end = original.bytes.size();
    if (r + 1 < original.starts.size())
        end = original.bytes.find('\n', original.starts[r + 1]) + 1;
    for (const auto& t : touched)
        if (t.first < end + 1 && t.second + 1 > begin)
            return false;
    return true;
}

std::vector<glo_config::RecordFields> motionOnly(std::vector<glo_config::RecordFields> setups) {
    setups.erase(std::remove_if(setups.begin(), setups.end(),
                                [](const glo_config::RecordFields& f) {
                                    return f.eventType != GLO_MotionEvent;
                                }),
                 setups.end());
    return setups;
}

// The same setup as far as it matters: a button setup has no axes, threshold or axis count,
// and a motion setup uses only its first axes (one for a trigger).
bool sameMeaning(const glo_config::RecordFields& a, const glo_config::RecordFields& b) {
    if (std::wcscmp(a.name, b.name) != 0 || a.eventType != b.eventType || a.button != b.button)
        return false;
    if (a.eventType == GLO_ButtonEvent)
        return a.buttonEvent == b.buttonEvent;
    if (a.numberOfAxes != b.numberOfAxes || a.threshold != b.threshold)
        return false;
    for (int i = 0; i < std::max(1, a.numberOfAxes); ++i)
        if (a.axis[i] != b.axis[i] || a.polarity[i] != b.polarity[i])
            return false;
    return true;
}

bool sameList(const std::vector<glo_config::RecordFields>& a,
              const std::vector<glo_config::RecordFields>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameMeaning);
}

// Ends the process when one reload does not come back.
volatile LONG g_progress = 0;
std::wstring g_input;
DWORD WINAPI watchdog(LPVOID stop) {
    LONG seen = -1;
    DWORD still = GetTickCount();
    while (WaitForSingleObject(stop, 1000) == WAIT_TIMEOUT) {
        if (g_progress != seen) {
            seen = g_progress;
            still = GetTickCount();
        } else if (GetTickCount() - still > 20000) {
            std::printf("a reload has not returned for 20 s: seed %ld, input %ls\n", seen,
                        g_input.c_str());
            std::fflush(stdout);
            ExitProcess(4);
        }
    }
    return 0;
}

long fromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

} // namespace

TEST(ConfigFuzz, MutatedFilesLoseOnlyTheirOwnRecordsAndRoundTrip) {
    const long mutations = fromEnvironment("GLO_FUZZ_MUTATIONS", 10000);
    const long first = fromEnvironment("GLO_FUZZ_FIRST", 1);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        std::wstring(temp) + L"glo_fuzz_" + std::to_wstring(GetCurrentProcessId());
    g_input = base + L".cfg";
    FuzzApplication app(base);
    FuzzApplication again(base + L"_again");
    const std::wstring againFile = base + L"_again.cfg";

    const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE guard = CreateThread(nullptr, 0, &watchdog, stop, 0, nullptr);
    long lost = 0, roundTripFailures = 0, recordsRead = 0, files = 0;
    double slowest = 0;
    Original original;
    std::vector<glo_config::RecordFields> expected;
    for (long seed = first; seed < first + mutations; ++seed) {
        g_progress = seed;
        std::mt19937 random(static_cast<unsigned>(seed));
        if (seed == first || seed % 50 == 0) { // a new file every 50 seeds
            std::mt19937 maker(static_cast<unsigned>((seed - seed % 50) * 7919));
            original = makeOriginal(maker);
            expected = readRecords(original.bytes);
            ASSERT_EQ(expected.size(), original.starts.size()) << "seed " << seed;
        }
        std::vector<std::pair<std::size_t, std::size_t>> touched;
        const std::string mutated = mutate(original.bytes, random, touched);
        ++files;
        // Read from memory; every 25th file also through the application's reload of its file,
        // which must read the same.
        const std::vector<glo_config::RecordFields> read = readRecords(mutated);
        recordsRead += static_cast<long>(read.size());
        if (seed % 25 == 0) {
            writeFile(g_input, mutated);
            const auto begin = std::chrono::steady_clock::now();
            app.deserialize();
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - begin;
            slowest = std::max(slowest, took.count());
            const std::vector<glo_config::RecordFields> reloaded = app.setups();
            if (reloaded.size() != read.size() ||
                !std::equal(read.begin(), read.end(), reloaded.begin(), same))
                ADD_FAILURE() << "seed " << seed << ": the reload reads other records";
            // The file way of a round trip (slow: the writer flushes to the disk).
            if (seed % 250 == 0) {
                app.serialize();
                const std::string written = readFile(g_input);
                writeFile(againFile, written);
                again.deserialize();
                again.serialize();
                if (!sameList(again.setups(), motionOnly(read)) || readFile(againFile) != written) {
                    ++roundTripFailures;
                    ADD_FAILURE() << "seed " << seed << ": the file changes when written and read";
                }
            }
        }

        // Untouched records, in order, among what was read.
        std::size_t next = 0;
        for (std::size_t r = 0; r < original.starts.size(); ++r) {
            if (!untouched(original, r, touched))
                continue;
            while (next < read.size() && !same(read[next], expected[r]))
                ++next;
            if (next == read.size()) {
                ++lost;
                ADD_FAILURE() << "seed " << seed << ": untouched record " << r << " lost";
                break;
            }
            ++next;
        }
        if (!sameList(readRecords(writeRecords(read)), read)) {
            ++roundTripFailures;
            ADD_FAILURE() << "seed " << seed << ": records change when written and read";
        }
        if (lost + roundTripFailures > 10)
            break;
    }
    SetEvent(stop);
    WaitForSingleObject(guard, 5000);
    CloseHandle(guard);
    CloseHandle(stop);
    DeleteFileW(g_input.c_str());
    DeleteFileW(againFile.c_str());

    std::printf("%ld mutated files, %ld records read, slowest reload of a file %.2f ms\n", files,
                recordsRead, slowest);
    benchFigure("config fuzz: mutated files read", double(files), 0, "files");
    benchFigure("config fuzz: untouched records lost", double(lost), 0, "records", "<= 0");
    benchFigure("config fuzz: round trips that changed", double(roundTripFailures), 0, "files",
                "<= 0");
    benchFigure("config fuzz: slowest reload of a file", slowest, 2, "ms");
}
