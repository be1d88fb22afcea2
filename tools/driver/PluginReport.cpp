#include "PluginReport.h"

#include <cstring>

#include "Utf8.h"
#include "WindowClasses.h"

namespace driver {

namespace {

// The worker takes an event older than this for rest.
const ULONGLONG kStaleMs = 200;

std::string quoted(const std::wstring& text) {
    return "\"" + utf8(text) + "\"";
}

// "TextEditor (glo_text_editor.dll)".
std::string pluginName(const PluginFile& file) {
    return quoted(file.name) + " (" + utf8(file.file) + ")";
}

std::string eventText(const int values[6], int button, int state) {
    if (button != -1)
        return "button " + std::to_string(button) + (state ? " pressed" : " released");
    static const char* const axes[6] = {"x", "y", "z", "a", "b", "c"};
    std::string text = "motion";
    for (int i = 0; i < 6; ++i)
        if (values[i] != 0)
            text += std::string(" ") + axes[i] + "=" + std::to_string(values[i]);
    return text;
}

// The other plug-ins that claim the window, for the target line.
std::string otherScores(const std::vector<PluginFile>& files, const std::vector<int>& scores,
                        int chosen) {
    std::string text;
    for (size_t i = 0; i < files.size() && i < scores.size(); ++i)
        if (int(i) != chosen && scores[i] > 0)
            text += (text.empty() ? "; also " : ", ") + quoted(files[i].name) + " " +
                    std::to_string(scores[i]);
    return text;
}

// The core's report of a setup that does not fit its function, in its log while it loaded.
const char kMisfit[] = " does not fit the function ";
const char kLogTag[] = "Vex_Core_Proxy.dll: ";

std::string withoutTag(const std::string& line) {
    return line.compare(0, sizeof kLogTag - 1, kLogTag) == 0 ? line.substr(sizeof kLogTag - 1)
                                                             : line;
}

// Whether a misfit line of the core's log is about `file` ("Plug-in NAME (FILE): ...").
bool isAbout(const std::string& line, const std::wstring& file) {
    return line.find(kMisfit) != std::string::npos &&
           line.find(" (" + utf8(file) + "): ") != std::string::npos;
}

std::string quotedList(const std::vector<std::wstring>& texts) {
    std::string list;
    for (const std::wstring& text : texts)
        list += (list.empty() ? "" : ", ") + quoted(text);
    return list;
}

// Why no plug-in claims the window: what each one's match() compared its classes with, and a
// hint where only the letter case stands between a plug-in and the window.
void explainNoScore(FILE* out, const std::vector<PluginFile>& files, ProbeClient& probe,
                    HWND given) {
    const std::vector<std::wstring> classes = classesAbove(given);
    std::fprintf(out, "  The window match() is given and those above it have the classes %s.\n",
                 quotedList(classes).c_str());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i].inTable || !files[i].hasApplication || !files[i].asked)
            continue;
        const std::vector<std::wstring>& compared = probe.compared(i);
        if (compared.empty()) {
            std::fprintf(out, "  %s compared them with no text the tool can see.\n",
                         pluginName(files[i]).c_str());
            continue;
        }
        std::fprintf(out, "  %s compared them with %s.\n", pluginName(files[i]).c_str(),
                     quotedList(compared).c_str());
        for (const std::wstring& text : compared)
            for (const std::wstring& name : classes)
                if (_wcsicmp(text.c_str(), name.c_str()) == 0 && text != name)
                    std::fprintf(out,
                                 "  Hint: %s and the class %s differ only in letter case. Window "
                                 "classes are not case-sensitive: compare them so (_wcsicmp, or "
                                 "the kit's classIs, topLevelIs and hasClassAbove).\n",
                                 quoted(text).c_str(), quoted(name).c_str());
    }
}

} // namespace

int chosenPlugin(const std::vector<PluginFile>& files, const std::vector<int>& scores) {
    int best = 0, chosen = -1;
    for (size_t i = 0; i < files.size() && i < scores.size(); ++i) {
        if (!files[i].inTable || !files[i].hasApplication || !files[i].asked)
            continue;
        if (scores[i] > best) {
            best = scores[i];
            chosen = static_cast<int>(i);
        }
    }
    return chosen;
}

int listPlugins(FILE* out, const std::wstring& folder, ProbeClient& probe,
                const EventTarget& target, const CoreRun& core) {
    // Asked first: a match() that crashes is part of its library's state.
    const bool window = target.foreground && target.window;
    const std::vector<int> scores =
        window ? probe.match(target.given) : std::vector<int>(probe.files().size(), 0);
    const std::vector<PluginFile>& files = probe.files();
    std::fprintf(out, "Plug-in folder %s: %zu librar%s\n", utf8(folder).c_str(), files.size(),
                 files.size() == 1 ? "y" : "ies");
    size_t width = 0;
    for (const PluginFile& file : files)
        width = utf8(file.file).size() > width ? utf8(file.file).size() : width;
    int loaded = 0;
    for (const PluginFile& file : files) {
        std::string state;
        if (file.inTable && file.hasApplication) {
            ++loaded;
            state = "loaded: " + quoted(file.name) + ", " + std::to_string(file.functions) +
                    " function" + (file.functions == 1 ? "" : "s");
            if (!file.asked)
                state += "; but " + file.why;
        } else {
            state = "not used: " + file.why;
        }
        std::fprintf(out, "  %-*s  %s\n", int(width), utf8(file.file).c_str(), state.c_str());
        for (const std::string& line : core.log)
            if (isAbout(line, file.file))
                std::fprintf(out, "    %s\n", withoutTag(line).c_str());
    }
    if (!core.ran)
        std::fprintf(out, "The core itself was not run: as it loads the plug-ins, a library above "
                          "would hang or end the driver's process.\n");
    else if (!core.finished)
        std::fprintf(out, "The core did not finish loading within its time: a plug-in's \"load\" "
                          "hangs (see above).\n");
    std::vector<std::string> rest; // the misfits are shown with their library
    for (const std::string& line : core.log) {
        bool shown = false;
        for (const PluginFile& file : files)
            shown = shown || isAbout(line, file.file);
        if (!shown)
            rest.push_back(line);
    }
    if (!rest.empty()) {
        std::fprintf(out, "The core's log while it loaded them:\n");
        for (const std::string& line : rest)
            std::fprintf(out, "  %s\n", line.c_str());
    }
    if (loaded == 0) {
        std::fprintf(out, "No plug-in loads: the core serves no window.\n");
        return 4;
    }

    if (!window) {
        std::fprintf(out, "Window: none (%s): the core sends events to no plug-in.\n", target.how);
        return 0;
    }
    std::fprintf(out, "Window: %s, in %s\n", describe(target.window).c_str(),
                 describe(target.foreground).c_str());
    std::fprintf(out, "  found as %s\n", target.how);
    if (target.given == target.window)
        std::fprintf(out, "  match() is given this window\n");
    else
        std::fprintf(out, "  match() is given %s, the child of it under the cursor\n",
                     describe(target.given).c_str());
    const int chosen = chosenPlugin(files, scores);
    std::fprintf(out, "Scores:\n");
    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i].inTable || !files[i].hasApplication)
            continue;
        std::string note = int(i) == chosen ? "  <- chosen" : "";
        if (!files[i].asked)
            note = "  (not asked: " + files[i].why + ")";
        std::fprintf(out, "  %-*s  %6d%s\n", int(width), utf8(files[i].name).c_str(), scores[i],
                     note.c_str());
    }
    if (chosen >= 0)
        std::fprintf(out,
                     "The core chooses %s: the highest score above 0 wins; of equal scores, the "
                     "plug-in listed first (loaded first).\n",
                     pluginName(files[chosen]).c_str());
    else {
        std::fprintf(out, "No plug-in scores above 0: the core sends the events of this window to "
                          "nobody.\n");
        explainNoScore(out, files, probe, target.given);
    }
    if (core.serves >= 0 && (core.serves == 1) != (chosen >= 0))
        std::fprintf(out,
                     "Note: the core itself %s this window. Does a match() depend on more than the "
                     "window it is given?\n",
                     core.serves ? "serves" : "does not serve");
    return 0;
}

void VerboseReport::say(const std::string& text) {
    std::fprintf(out, "glo_driver: %s\n", text.c_str());
    std::fflush(out);
}

void VerboseReport::report(const std::string& text) {
    if (text == pending) {
        ++pendingCount;
        return;
    }
    flush();
    pending = text;
    pendingFirst = events;
    pendingCount = 1;
}

void VerboseReport::flush() {
    if (pendingCount == 0)
        return;
    if (pendingCount == 1)
        say("event " + std::to_string(pendingFirst) + ": " + pending);
    else
        say("events " + std::to_string(pendingFirst) + "-" +
            std::to_string(pendingFirst + pendingCount - 1) + ": " + pending);
    pendingCount = 0;
    pending.clear();
}

void VerboseReport::rest(int plugin) {
    const int zero[6] = {0, 0, 0, 0, 0, 0};
    int type = 0;
    std::string detail;
    if (plugin >= 0)
        probe.choose(plugin, zero, -1, 0, type, detail);
    lastFunction.clear();
}

void VerboseReport::onEvent(const int values[6], int button, int state) {
    ++events;
    const ULONGLONG now = GetTickCount64();
    const bool motion = button == -1;
    bool still = motion;
    for (int i = 0; i < 6; ++i)
        still = still && values[i] == 0;
    if (still) {
        report(current >= 0 && !lastFunction.empty() ? "rest: " + lastFunction + " ends" : "rest");
        rest(current);
        current = -1;
        lastEvent = now;
        return;
    }
    if (motion && values[0] == 1 && values[1] == 0 && values[2] == 0 && values[3] == 0 &&
        values[4] == 0 && values[5] == 0) {
        report("motion x=1: the driver's registration sample, ignored");
        return;
    }

    bool changed = false;
    const EventTarget target = tracker.next(changed);
    const std::vector<PluginFile>& files = probe.files();
    if (!target.foreground) {
        if (foreground) {
            flush();
            say(std::string("target: none, ") + target.how);
        }
        foreground = false;
    } else if (changed || !foreground) {
        foreground = true;
        const std::vector<int> scores = probe.match(target.given);
        matched = chosenPlugin(files, scores);
        flush();
        std::string line = "target " + describe(target.given) + " (" + target.how + ")";
        if (matched >= 0)
            line += ": " + pluginName(files[matched]) + ", score " +
                    std::to_string(scores[matched]) + otherScores(files, scores, matched);
        else
            line += ": no plug-in scores above 0";
        say(line);
    }
    const int chosen = target.foreground ? matched : -1;
    if (chosen != current) {
        rest(current); // the plug-in left first hears an empty event
        current = chosen;
    } else if (current >= 0 && now - lastEvent > kStaleMs) {
        rest(current); // the worker took the cap for at rest meanwhile
    }
    lastEvent = now;
    const std::string what = eventText(values, button, state);
    if (current < 0) {
        report(what + ": no plug-in");
        return;
    }
    int type = 0;
    std::string detail;
    const std::wstring function = probe.choose(current, values, button, state, type, detail);
    if (type == 0)
        report(what + ": too small, taken for rest");
    else if (function.empty())
        report(what + ": " + (detail.empty() ? "no function runs" : detail));
    else
        report(what + ": " + (detail.empty() ? utf8(function) : detail));
    // The function as the detail names it, without the figures.
    if (type == 0)
        lastFunction.clear();
    else if (!function.empty())
        lastFunction = detail.empty() ? utf8(function) : detail.substr(0, detail.find(", len="));
}

} // namespace driver
