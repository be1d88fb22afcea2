#include "ProbeClient.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace driver {

namespace {

// The probe's own start (a process, the core's library) is slow on a busy machine and counts
// against no plug-in. A plug-in's library and its "load" (which reads its configuration) have
// this long each from when the probe announces them; match() and the multiplexer answer at once.
const DWORD kStartTimeoutMs = 30000;
const DWORD kLoadTimeoutMs = 15000;
const DWORD kAnswerTimeoutMs = 5000;
const DWORD kCxxException = 0xE06D7363;

std::wstring wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
    return out;
}

std::string hex(const void* value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(value)));
    return text;
}

// "<command> <number> <rest>"; false when the line is not of that command.
bool parse(const std::string& line, const char* command, int& number, std::string& rest) {
    const size_t length = std::strlen(command);
    if (line.compare(0, length, command) != 0 || line.size() <= length || line[length] != ' ')
        return false;
    char* end = nullptr;
    number = static_cast<int>(std::strtol(line.c_str() + length + 1, &end, 10));
    rest = *end == ' ' ? std::string(end + 1) : std::string();
    return true;
}

} // namespace

ProbeClient::ProbeClient(std::wstring program, std::wstring folder)
    : program_(std::move(program)), folder_(std::move(folder)) {}

ProbeClient::~ProbeClient() {
    stop();
}

bool ProbeClient::spawn() {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &toProbe_, &inherit, 0))
        return false;
    if (!CreatePipe(&fromProbe_, &childOut, &inherit, 0)) {
        CloseHandle(childIn);
        CloseHandle(toProbe_);
        toProbe_ = nullptr;
        return false;
    }
    SetHandleInformation(toProbe_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromProbe_, HANDLE_FLAG_INHERIT, 0);
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        SetHandleInformation(GetStdHandle(which), HANDLE_FLAG_INHERIT, 0);
    // What plug-ins print themselves goes nowhere: it would break the lines.
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    std::wstring command =
        L"\"" + program_ + L"\" --in " + wide(hex(childIn)) + L" --out " + wide(hex(childOut));
    for (int index : skipped_)
        command += L" --skip " + std::to_wstring(index);
    for (size_t i = 0; i < files_.size(); ++i)
        if (!files_[i].asked)
            command += L" --unasked " + std::to_wstring(i);
    command += L" \"" + folder_ + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process_);
    CloseHandle(nul);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started)
        process_ = PROCESS_INFORMATION();
    pending_.clear();
    hung_ = false;
    return started != FALSE;
}

void ProbeClient::stop() {
    if (process_.hProcess) {
        if (!hung_ && send("quit"))
            WaitForSingleObject(process_.hProcess, kAnswerTimeoutMs);
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, kAnswerTimeoutMs);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = PROCESS_INFORMATION();
    }
    for (HANDLE* pipe : {&toProbe_, &fromProbe_}) {
        if (*pipe)
            CloseHandle(*pipe);
        *pipe = nullptr;
    }
}

bool ProbeClient::send(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    return toProbe_ &&
           WriteFile(toProbe_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

bool ProbeClient::readLine(std::string& line, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        const size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return true;
        }
        DWORD available = 0;
        const bool open =
            fromProbe_ && PeekNamedPipe(fromProbe_, nullptr, 0, nullptr, &available, nullptr);
        if (open && available > 0) {
            char buffer[4096];
            DWORD read = 0;
            if (ReadFile(fromProbe_, buffer, available < sizeof buffer ? available : sizeof buffer,
                         &read, nullptr))
                pending_.append(buffer, read);
            continue;
        }
        if (!open || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
            // Ended: what it wrote last may still be in the pipe.
            if (open && PeekNamedPipe(fromProbe_, nullptr, 0, nullptr, &available, nullptr) &&
                available > 0)
                continue;
            return false;
        }
        if (GetTickCount64() >= end) {
            hung_ = true;
            return false;
        }
        Sleep(1);
    }
}

void ProbeClient::lost(Stage stage, int index) {
    DWORD code = 0;
    if (!hung_)
        WaitForSingleObject(process_.hProcess, kAnswerTimeoutMs);
    if (process_.hProcess)
        GetExitCodeProcess(process_.hProcess, &code);
    const bool library = stage == LibraryLoading;
    const char* what = library ? "its library" : stage == LoadCall ? "\"load\"" : "match()";
    char text[200];
    if (hung_ && library)
        std::snprintf(text, sizeof text,
                      "its library did not finish loading within %lu s (DllMain or a global "
                      "constructor does not return)",
                      kLoadTimeoutMs / 1000);
    else if (hung_)
        std::snprintf(text, sizeof text, "%s did not return within %lu s", what,
                      (stage == LoadCall ? kLoadTimeoutMs : kAnswerTimeoutMs) / 1000);
    else if (code == kCxxException)
        std::snprintf(text, sizeof text, "%s let a C++ exception out", what);
    else if (code >= 0x80000000u) // an exception code, not a code a program ends with
        std::snprintf(text, sizeof text, "%s crashed (exception 0x%08lx)", what,
                      static_cast<unsigned long>(code));
    else
        std::snprintf(text, sizeof text, "%s ended the process (exit code %lu)", what,
                      static_cast<unsigned long>(code));
    std::string why = text;
    if (library && !hung_)
        why += " while it loaded, in DllMain or a global constructor";
    if (library)
        why += hung_ ? ": the driver would hang as it loads the plug-ins"
                     : "; the driver's process would end with it";
    else if (hung_)
        why += stage == LoadCall ? ": the driver would wait for it for ever"
                                 : ": the driver would wait for it at every new window";
    else
        why += stage == LoadCall ? "; the core keeps the library loaded but never uses it"
                                 : "; the core asks it no more and sends it nothing";
    if (index >= 0 && size_t(index) < files_.size()) {
        files_[index].why = why;
        if (stage == Matching) {
            files_[index].asked = false;
        } else {
            files_[index].inTable = false;
            files_[index].breaksLoading = library;
            skipped_.push_back(index);
        }
    }
    stop();
}

bool ProbeClient::start(std::string& problem) {
    files_.clear();
    skipped_.clear();
    return load(problem);
}

bool ProbeClient::load(std::string& problem) {
    // Every crash or hang takes one library out: one try more than there are libraries.
    for (size_t attempt = 0; attempt <= files_.size() + 1; ++attempt) {
        if (!spawn()) {
            problem =
                "cannot start the plug-in probe (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        const bool first = files_.empty();
        int loading = -1;
        Stage stage = LibraryLoading;
        bool started = false;
        std::string line, rest;
        int index = 0;
        bool ready = false;
        // A line of `command` about a library of the folder.
        auto is = [&](const char* command) {
            return parse(line, command, index, rest) && index >= 0 && size_t(index) < files_.size();
        };
        while (!ready && readLine(line, !started       ? kStartTimeoutMs
                                        : loading >= 0 ? kLoadTimeoutMs
                                                       : kAnswerTimeoutMs)) {
            started = true;
            if (line == "ready") {
                ready = true;
            } else if (parse(line, "file", index, rest)) {
                if (first) {
                    files_.emplace_back();
                    files_.back().file = wide(rest);
                }
            } else if (is("skip")) {
                files_[index].why = rest;
                loading = -1;
            } else if (is("loading") || is("calling")) {
                loading = index;
                stage = line[0] == 'l' ? LibraryLoading : LoadCall;
            } else if (is("plugin")) {
                const size_t space = rest.find(' ');
                files_[index].inTable = files_[index].hasApplication = true;
                files_[index].functions = std::atoi(rest.c_str());
                files_[index].name =
                    space == std::string::npos ? L"" : wide(rest.substr(space + 1));
                loading = -1;
            } else if (is("noapp")) {
                files_[index].inTable = true;
                files_[index].why = "\"load\" returned no application: the core keeps the "
                                    "library but never chooses it";
                loading = -1;
            }
        }
        if (ready)
            return true;
        if (loading < 0) {
            problem = !started && hung_ ? "the plug-in probe did not start within " +
                                              std::to_string(kStartTimeoutMs / 1000) + " s"
                                        : "the plug-in probe ended unexpectedly";
            stop();
            return false;
        }
        lost(stage, loading);
    }
    problem = "the plug-in probe keeps failing";
    return false;
}

const std::vector<std::wstring>& ProbeClient::compared(size_t index) const {
    static const std::vector<std::wstring> none;
    return index < compared_.size() ? compared_[index] : none;
}

std::vector<int> ProbeClient::match(HWND window) {
    std::vector<int> scores(files_.size(), 0);
    compared_.assign(files_.size(), std::vector<std::wstring>());
    for (size_t attempt = 0; attempt <= files_.size(); ++attempt) {
        std::string problem;
        if (!process_.hProcess && !load(problem))
            return scores;
        if (!send("match " + hex(window)))
            return scores;
        int matching = -1, index = 0;
        std::string line, rest;
        while (readLine(line, kAnswerTimeoutMs)) {
            if (line == "done")
                return scores;
            if (parse(line, "matching", index, rest))
                matching = index;
            else if (parse(line, "score", index, rest) && size_t(index) < scores.size())
                scores[index] = std::atoi(rest.c_str());
            else if (parse(line, "compared", index, rest) && size_t(index) < scores.size())
                compared_[index].push_back(wide(rest));
        }
        // Crashed or hung in one plug-in's match(): ask the others again without it.
        lost(Matching, matching);
        if (!load(problem))
            return scores;
        std::fill(scores.begin(), scores.end(), 0);
        compared_.assign(files_.size(), std::vector<std::wstring>());
    }
    return scores;
}

std::wstring ProbeClient::choose(int index, const int values[6], int button, int state, int& type,
                                 std::string& detail) {
    type = 0;
    detail.clear();
    char line[160];
    std::snprintf(line, sizeof line, "event %d %d %d %d %d %d %d %d %d", index, values[0],
                  values[1], values[2], values[3], values[4], values[5], button, state);
    std::string answer, problem;
    if (!process_.hProcess && !load(problem))
        return L"";
    if (!send(line) || !readLine(answer, kAnswerTimeoutMs) ||
        answer.compare(0, 9, "function ") != 0) {
        stop(); // loaded again for the next question
        return L"";
    }
    char* end = nullptr;
    type = static_cast<int>(std::strtol(answer.c_str() + 9, &end, 10));
    std::string name = *end == ' ' ? std::string(end + 1) : std::string();
    const size_t tab = name.find('\t');
    if (tab != std::string::npos) {
        detail = name.substr(tab + 1);
        name.erase(tab);
    }
    return name == "-" ? L"" : wide(name);
}

} // namespace driver
