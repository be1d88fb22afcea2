#include "config/SettingsText.h"

#include <windows.h>

#include "GloUserSettings.h"

namespace glo_config {

namespace {

const char kHeader[] = "; Glidora: your own settings. key=value for all programs, then "
                       "[program] and its own.\r\n";
// A line longer than this is no setting (the longest one is well below it).
const std::size_t kLongestLine = 16 * 1024;

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Undoes the writer's escapes; false for a \u without four hex digits.
bool unescape(const std::wstring& text, std::size_t from, std::size_t to, std::wstring& out) {
    out.clear();
    for (std::size_t i = from; i < to; ++i) {
        const wchar_t c = text[i];
        if (c != L'\\' || i + 1 >= to) {
            out += c;
            continue;
        }
        const wchar_t e = text[++i];
        if (e == L'n')
            out += L'\n';
        else if (e == L'r')
            out += L'\r';
        else if (e == L't')
            out += L'\t';
        else if (e == L'u') {
            if (i + 4 >= to)
                return false;
            int code = 0;
            for (int k = 1; k <= 4; ++k) {
                const int d = hexDigit(text[i + k]);
                if (d < 0)
                    return false;
                code = code * 16 + d;
            }
            out += static_cast<wchar_t>(code);
            i += 4;
        } else {
            out += e;
        }
    }
    return true;
}

void trim(const std::wstring& text, std::size_t& from, std::size_t& to) {
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;
}

bool decodeLine(const char* bytes, std::size_t length, std::wstring& line) {
    line.clear();
    if (length == 0)
        return true;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes,
                                      static_cast<int>(length), nullptr, 0);
    if (n <= 0)
        return false;
    line.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length),
                               &line[0], n) == n &&
           line.find(L'\0') == std::wstring::npos;
}

// One line into `program` (a section line) or `entry`.
enum LineKind { Nothing, Section, Setting, Unreadable, UnreadableSection };
LineKind readLine(const std::wstring& line, std::wstring& program, SettingsEntry& entry) {
    std::size_t from = 0, to = line.size();
    trim(line, from, to);
    if (from == to || line[from] == L';' || line[from] == L'#')
        return Nothing;
    if (line[from] == L'[') {
        std::wstring name;
        if (line[to - 1] != L']' || to - from < 3 || !unescape(line, from + 1, to - 1, name) ||
            name.size() > CGlo_UserSettings::MaxProgramChars)
            return UnreadableSection;
        program = name;
        return Section;
    }
    std::size_t equals = from;
    while (equals < to && line[equals] != L'=')
        equals += line[equals] == L'\\' ? 2 : 1;
    if (equals >= to)
        return Unreadable;
    std::size_t keyEnd = equals, valueFrom = equals + 1, valueTo = to;
    trim(line, from, keyEnd);
    trim(line, valueFrom, valueTo);
    if (!unescape(line, from, keyEnd, entry.key) ||
        !unescape(line, valueFrom, valueTo, entry.value) || entry.key.empty() ||
        entry.key.size() > CGlo_UserSettings::MaxKeyChars ||
        entry.value.size() > CGlo_UserSettings::MaxValueChars)
        return Unreadable;
    entry.program = program;
    return Setting;
}

// `text` as the file keeps it: escapes for what a line cannot hold, for what the reader would
// take for syntax, and for blanks at either end, which it trims.
void escape(const std::wstring& text, bool key, std::wstring& out) {
    out.clear();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool low = c >= 0xDC00 && c <= 0xDFFF;
        const bool paired = high && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (c == L'\\') {
            out += L"\\\\";
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\t') {
            out += L"\\t";
        } else if (c < 0x20 || c == 0x7f || (low || (high && !paired)) ||
                   (isBlank(c) && (i == 0 || i + 1 == n))) {
            out += L"\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += L"0123456789ABCDEF"[(c >> shift) & 0xF];
        } else if (key && (c == L'=' || (i == 0 && (c == L'[' || c == L';' || c == L'#')))) {
            out += L'\\';
            out += c;
        } else {
            out += c;
            if (paired)
                out += text[++i];
        }
    }
}

void appendUtf8(const std::wstring& text, std::string& out) {
    if (text.empty())
        return;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[at], n,
                        nullptr, nullptr);
}

} // namespace

ParsedSettings parseSettings(const std::string& bytes) {
    ParsedSettings parsed;
    if (bytes.size() > kLargestSettingsFile) {
        parsed.complete = false;
        return parsed;
    }
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::wstring program, line;
    SettingsEntry entry;
    bool lost = false; // under a program line that could not be read: whose they are is unknown
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::size_t length = end - at;
        if (length > 0 && bytes[at + length - 1] == '\r')
            --length;
        const bool decoded = length <= kLongestLine && decodeLine(&bytes[at], length, line);
        at = end + 1;
        const LineKind kind = decoded ? readLine(line, program, entry) : Unreadable;
        if (kind == Section || kind == UnreadableSection)
            lost = kind == UnreadableSection;
        if (kind == Unreadable || kind == UnreadableSection) {
            parsed.complete = false;
        } else if (kind == Setting && !lost) {
            if (parsed.entries.size() >= kMostSettings)
                parsed.complete = false;
            else
                parsed.entries.push_back(entry);
        }
    }
    return parsed;
}

std::string formatSettings(const std::vector<SettingsEntry>& entries) {
    std::string text = kHeader;
    std::wstring line, part;
    const std::wstring* program = nullptr;
    // The entries of all programs come first: before any "[program]" line.
    for (int pass = 0; pass < 2; ++pass)
        for (const SettingsEntry& entry : entries) {
            if (entry.program.empty() != (pass == 0))
                continue;
            if (pass == 1 && (program == nullptr || *program != entry.program)) {
                escape(entry.program, false, part);
                line = L"[" + part + L"]\r\n";
                appendUtf8(line, text);
                program = &entry.program;
            }
            escape(entry.key, true, part);
            line = part + L"=";
            escape(entry.value, false, part);
            line += part + L"\r\n";
            appendUtf8(line, text);
        }
    return text;
}

} // namespace glo_config
