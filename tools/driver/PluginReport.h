// What glo_driver tells a plug-in author: which plug-ins the core loads and why not, which one it
// chooses for a window and why (--list-plugins), and per event which function runs (--verbose).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "EventTarget.h"
#include "ProbeClient.h"

namespace driver {

// The plug-in the core chooses from the scores: the highest above 0, the first of equals; -1.
int chosenPlugin(const std::vector<PluginFile>& files, const std::vector<int>& scores);

// What the core itself did while it loaded the plug-ins, beside the probe's answers.
struct CoreRun {
    bool ran = true;              // false: not run, a library would hang or end this process
    bool finished = false;        // ZuVidInit returned in time
    int serves = -1;              // ZuVidIsValidHdl for the target: 1, 0, or -1 not asked
    std::vector<std::string> log; // the core's log lines
};

// --list-plugins. The exit code: 0, or 4 when no plug-in loads.
int listPlugins(FILE* out, const std::wstring& folder, ProbeClient& probe,
                const EventTarget& target, const CoreRun& core);

// --verbose: the core's choices for every event the clone window receives.
class VerboseReport {
public:
    VerboseReport(FILE* out, ProbeClient& probe) : out(out), probe(probe) {}
    ~VerboseReport() { flush(); }
    VerboseReport(const VerboseReport&) = delete;
    VerboseReport& operator=(const VerboseReport&) = delete;

    // One event in the plug-ins' sign convention (button -1: motion or rest).
    void onEvent(const int values[6], int button, int state);
    // Writes the line of the events not yet written.
    void flush();

private:
    void say(const std::string& text);
    // Identical lines of consecutive events become one.
    void report(const std::string& text);
    // The application's worker ends its function.
    void rest(int plugin);

    FILE* out;
    ProbeClient& probe;
    TargetTracker tracker;
    int current = -1; // the plug-in that received the last event
    int matched = -1; // the cached match of the current target
    bool foreground = true;
    long events = 0;
    ULONGLONG lastEvent = 0;
    std::string lastFunction; // as shown: "LinePan (Line Scroll Window)"
    std::string pending;
    long pendingFirst = 0, pendingCount = 0;
};

} // namespace driver
