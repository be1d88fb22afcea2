// Where the core's debug log lines go: the driver's log callback, which the core object points
// the sink at. Folders below the proxy write through it without knowing the driver.
#pragma once

namespace glo_log {

struct Sink {
    bool (*canWrite)(); // whether a line written now would reach the driver
    void (*write)(const wchar_t* line);
};

// Set once while the library loads, before any thread of ours runs; until then lines are
// dropped.
void setSink(const Sink& sink);

// Whether lines reach the driver: writers skip formatting a line nobody reads.
bool canLog();
// Hands one formatted line to the driver, or drops it when there is no log callback.
void write(const wchar_t* line);

} // namespace glo_log
