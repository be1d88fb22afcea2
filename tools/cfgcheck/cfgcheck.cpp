// glo_cfgcheck: reads configuration files the way an application's reload does and says,
// record by record, what becomes of them: which setups load, which are skipped and why, and
// which lines are ignored or cut. The reading is the core's own (no second parser).
//
//   glo_cfgcheck [--function NAME]... FILE.cfg...
//
// With --function only the records of the functions named are checked; the others are reported
// as not asked, and neither counted as loaded nor as skipped. Exit code: 0 all records asked
// about load, 1 some are skipped, 2 a file cannot be read or the arguments are wrong.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "GloFunctionSetup.h"
#include "GloConfigRecord.h"

namespace {

std::string narrow(const wchar_t* text) {
    char out[1024];
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return n > 0 ? std::string(out) : std::string();
}

bool has(unsigned keys, glo_config::LineKey key) {
    return (keys & (1u << key)) != 0;
}

// Why IsValid() rejects a record, in the order it checks.
std::string whyInvalid(const glo_config::RecordFields& f) {
    char text[200];
    if (f.name[0] == L'\0')
        return "no function name (\"Function=\" missing or empty)";
    if (f.eventType == GLO_ButtonEvent) {
        if (f.button < -2 || f.button > 31) {
            snprintf(text, sizeof text, "button %d is outside -2..31", f.button);
            return text;
        }
        return "no button transition (\"ButtonEvent=\" must contain press, release or any)";
    }
    if (f.eventType != GLO_MotionEvent)
        return "event type unknown (\"EventType=\" must contain motion or button, in lower case)";
    if (f.numberOfAxes < 0 || f.numberOfAxes > 6) {
        snprintf(text, sizeof text, "number of axes %d is outside 0..6", f.numberOfAxes);
        return text;
    }
    const int used = f.numberOfAxes > 0 ? f.numberOfAxes : 1;
    for (int i = 0; i < used; ++i) {
        if (static_cast<unsigned>(f.axis[i]) > 5u) {
            snprintf(text, sizeof text, "device axis %d of function axis %d is outside 0..5",
                     f.axis[i], i + 1);
            return text;
        }
        if (f.polarity[i] != 1 && f.polarity[i] != -1) {
            snprintf(text, sizeof text, "polarity %d of function axis %d must be 1 or -1",
                     f.polarity[i], i + 1);
            return text;
        }
    }
    snprintf(text, sizeof text, "threshold %d is outside 0..200", f.threshold);
    return text;
}

// Keys a complete record of its kind has and this one lacks.
std::string missingKeys(const glo_config::RecordFields& f, unsigned keys) {
    std::vector<glo_config::LineKey> wanted;
    if (f.eventType == GLO_MotionEvent)
        wanted = {glo_config::KeyNumberOfAxis, glo_config::KeyAxis, glo_config::KeyAxisPolarity,
                  glo_config::KeyThreshold};
    else if (f.eventType == GLO_ButtonEvent)
        wanted = {glo_config::KeyButton, glo_config::KeyButtonEvent};
    std::string missing;
    for (glo_config::LineKey k : wanted)
        if (!has(keys, k))
            missing += (missing.empty() ? "\"" : ", \"") + narrow(glo_config::keyText(k)) + "\"";
    return missing;
}

std::string describe(const glo_config::RecordFields& f) {
    char text[200];
    if (f.eventType == GLO_ButtonEvent) {
        snprintf(text, sizeof text, "button %d on %s", f.button,
                 *glo_config::buttonEventWord(f.buttonEvent)
                     ? glo_config::buttonEventWord(f.buttonEvent)
                     : "?");
        return text;
    }
    if (f.eventType == GLO_MotionEvent) {
        std::string s = "motion, " + std::to_string(f.numberOfAxes) +
                        (f.numberOfAxes == 1 ? " axis:" : " axes:");
        const int used = f.numberOfAxes < 1 ? 1 : f.numberOfAxes > 6 ? 6 : f.numberOfAxes;
        for (int i = 0; i < used; ++i)
            s += std::string(" ") + (f.polarity[i] < 0 ? "-" : "+") + std::to_string(f.axis[i]);
        return s + ", threshold " + std::to_string(f.threshold);
    }
    return "no event type";
}

class Report : public glo_config::CConfigCheckObserver {
public:
    explicit Report(const std::set<std::wstring>& functions)
        : functions(functions), loaded(0), skipped(0), notAsked(0), ignoredLines(0) {}

    void onLine(const glo_config::LineInfo& line) override {
        if (line.truncated) {
            printf("  line %lld: %lld characters; only the first %d are read, the rest of the "
                   "line is ignored\n",
                   line.number, line.length, glo_config::kMaxLineChars);
        }
        if (line.hasNul)
            printf("  line %lld: contains a NUL byte; the text after it is ignored (was the "
                   "file saved as Unicode? it must be ANSI text)\n",
                   line.number);
        if (line.key == glo_config::KeyNone && line.text[0] != L'\0') {
            ++ignoredLines;
            printf("  line %lld: ignored, no key: \"%s\"\n", line.number,
                   narrow(line.text).c_str());
        }
    }

    void onRecord(const glo_config::RecordInfo& r, CGlo_FunctionSetup& setup) override {
        const unsigned keys = r.keysSeen;
        if (keys == 0)
            return; // a "[Function]" line with nothing before it: not a record of its own
        const glo_config::RecordFields& f = r.fields;
        // From the "[Function]" line that opens the record to its last key line.
        const long long first = r.index > 0 ? r.firstLine - 1 : r.firstLine;
        const long long last = r.atEnd ? r.lastLine : r.lastLine - 1;
        std::string where = first >= last
                                ? "line " + std::to_string(first)
                                : "lines " + std::to_string(first) + "-" + std::to_string(last);
        printf("%s: \"%s\" (%s): ", where.c_str(), narrow(f.name).c_str(), describe(f).c_str());
        const std::string missing = missingKeys(f, keys);
        // A record without a name may be one of the functions asked about: it is checked.
        if (!functions.empty() && f.name[0] != L'\0' && functions.count(f.name) == 0) {
            ++notAsked;
            printf("not asked\n");
            return;
        }
        if (!setup.IsValid()) {
            ++skipped;
            printf("SKIPPED, %s", whyInvalid(f).c_str());
            if (!missing.empty())
                printf("; %s record lacks %s", r.atEnd ? "truncated at end of file," : "the",
                       missing.c_str());
            printf("\n");
        } else {
            ++loaded;
            printf("loaded\n");
            if (!missing.empty())
                printf("  note: no %s line, the default 0 is used%s\n", missing.c_str(),
                       r.atEnd ? " (the file ends inside this record)" : "");
        }
        if (r.repeatedKey)
            printf("  note: a key occurs twice in this record; the later line counts\n");
    }

    const std::set<std::wstring>& functions;
    int loaded, skipped, notAsked, ignoredLines;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::set<std::wstring> functions;
    std::vector<std::wstring> files;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--function" && i + 1 < argc)
            functions.insert(argv[++i]);
        else if (arg == L"--help" || arg == L"-h" || arg.rfind(L"--", 0) == 0)
            files.clear(), i = argc, functions.clear(), files.push_back(L"");
        else
            files.push_back(arg);
    }
    if (files.empty() || files[0].empty()) {
        fprintf(stderr, "usage: glo_cfgcheck [--function NAME]... FILE.cfg...\n");
        return 2;
    }
    int status = 0;
    for (const std::wstring& file : files) {
        printf("%s\n", narrow(file.c_str()).c_str());
        Report report(functions);
        if (glo_config::checkConfigFile(file.c_str(), report) < 0) {
            printf("  cannot be read: the application would use its default configuration\n");
            status = 2;
            continue;
        }
        if (functions.empty())
            printf("%d loaded, %d skipped, %d ignored lines\n", report.loaded, report.skipped,
                   report.ignoredLines);
        else
            printf("%d loaded, %d skipped, %d not asked, %d ignored lines\n", report.loaded,
                   report.skipped, report.notAsked, report.ignoredLines);
        if (report.skipped > 0 && status == 0)
            status = 1;
    }
    return status;
}
