// glo_driver's side of the plug-in probe (glo_plugin_probe.exe beside it): a process that loads
// the plug-ins of a folder as the core does and answers what the core would decide. A plug-in
// that crashes or hangs there ends only the probe; the client notes why and starts it again
// without that plug-in, as the core too stops using it.
//
// Lines from the probe: "file N NAME" per library, then per library "loading N" before its
// library loads, followed by "skip N WHY", or by "calling N" before its "load" runs and then
// "plugin N FUNCTIONS NAME" or "noapp N"; and "ready". Asked "match HWND", it answers
// "matching N", "score N S" and "compared N TEXT" per string its match() compared the window's
// classes with, per plug-in, and "done"; asked "event N x y z a b c button state",
// "function TYPE NAME<tab>DETAIL" (NAME "-" for none; DETAIL what the setups made of it).
// "quit" unloads everything.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// One library of the plug-in folder, in the order the core loads them.
struct PluginFile {
    std::wstring file;
    bool inTable = false;        // the core keeps it in its table
    bool hasApplication = false; // "load" gave an application
    bool asked = true;           // the core asks it match() (no longer after a crash there)
    std::wstring name;           // the application's name
    int functions = 0;
    std::string why; // why it is no plug-in, or what went wrong with it
    // Its library hung or ended the process while it loaded (DllMain, a global constructor):
    // the driver's process would hang or end with it.
    bool breaksLoading = false;
};

class ProbeClient {
public:
    ProbeClient(std::wstring program, std::wstring folder);
    ~ProbeClient();
    ProbeClient(const ProbeClient&) = delete;
    ProbeClient& operator=(const ProbeClient&) = delete;

    // Loads the folder's plug-ins in the probe; false (and why) when the probe cannot run.
    bool start(std::string& problem);
    const std::vector<PluginFile>& files() const { return files_; }

    // Every plug-in's score for `window`, in files() order (0 for files the core does not ask).
    std::vector<int> match(HWND window);
    // What files()[index]'s match() compared the window's classes with in the last match().
    const std::vector<std::wstring>& compared(size_t index) const;
    // The function that the setups of files()[index] choose for one event in the plug-ins' sign
    // convention (empty: none). `type` becomes the event's type as the plug-in's worker sees it
    // (0 rest, 1 button, 2 motion); `detail` what the setups made of it ("LinePan (Line Scroll
    // Window), len=224 zone=0 start=61", "no function runs; nearest ...").
    std::wstring choose(int index, const int values[6], int button, int state, int& type,
                        std::string& detail);

private:
    // Starts the probe and reads its loading, taking out libraries that crash or hang there.
    bool load(std::string& problem);
    bool spawn();
    void stop();
    // One line of the probe within `timeoutMs`; false when it ended or did not answer.
    bool readLine(std::string& line, DWORD timeoutMs);
    bool send(const std::string& line);
    // The probe ended or hung while `stage` ran on file `index`.
    enum Stage { LibraryLoading, LoadCall, Matching };
    void lost(Stage stage, int index);

    std::wstring program_, folder_;
    std::vector<PluginFile> files_;
    std::vector<int> skipped_; // crashed or hung in "load": not loaded again
    std::vector<std::vector<std::wstring>> compared_;
    PROCESS_INFORMATION process_ = {};
    HANDLE toProbe_ = nullptr, fromProbe_ = nullptr;
    std::string pending_;
    bool hung_ = false;
};

} // namespace driver
