// The plug-in probe's view of what a plug-in's match() compares the window's classes with: the
// probe points the plug-in's imports of the usual string comparisons (wcscmp, _wcsicmp, wcsstr,
// lstrcmpW, ..., and the core's CGloHWND::IsWindowClass) at recorders that note the other side
// of every comparison with one of the window's class names, then call the real function.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace probe {

// Points the imports of `plugin` at the recorders; they record only while a recording runs on
// the thread that started it.
void hookComparisons(HMODULE plugin);

// Records what is compared with any of `classes` (the window given to match() and those above
// it) until stopRecording, which returns the strings in the order first seen.
void startRecording(const std::vector<std::wstring>& classes);
std::vector<std::wstring> stopRecording();

} // namespace probe
