#include "GloConfigRecord.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <istream>
#include <wchar.h>

#include "config/FileStreams.h"
#include "events/GloNameCopy.h"

namespace glo_config {

namespace {

const wchar_t* const kKeys[KeyCount] = {L"Function=", L"EventType=",    L"NumberOfAxis=",
                                        L"Axis=",     L"AxisPolarity=", L"Threshold=",
                                        L"Button=",   L"ButtonEvent=",  L"[Function]"};

// Setting a stream's state may throw when the caller enabled exceptions; nothing may leave
// the library that way.
void setState(std::istream& in, std::ios_base::iostate bits) {
    try {
        in.setstate(bits);
    } catch (...) {
    }
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// Sign and digits at text; null when there is no digit. Saturates at the int range.
const wchar_t* scanInt(const wchar_t* text, int& value) {
    const wchar_t* p = text;
    bool negative = false;
    if (*p == L'+' || *p == L'-')
        negative = *p++ == L'-';
    if (*p < L'0' || *p > L'9')
        return nullptr;
    long long magnitude = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p)
        if (magnitude <= INT_MAX)
            magnitude = magnitude * 10 + (*p - L'0');
    if (negative)
        value = magnitude > static_cast<long long>(INT_MAX) + 1 ? INT_MIN
                                                                : static_cast<int>(-magnitude);
    else
        value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    return p;
}

// The line as wide text. Every ANSI code page agrees with ASCII below 0x80, so plain lines
// skip the conversion call.
int widen(const char* bytes, int count, wchar_t* out) {
    bool ascii = true;
    for (int i = 0; i < count && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    int n = 0;
    if (ascii) {
        for (; n < count; ++n)
            out[n] = static_cast<wchar_t>(bytes[n]);
    } else if (count > 0) {
        n = MultiByteToWideChar(CP_ACP, 0, bytes, count, out, kMaxLineChars);
        if (n < 0)
            n = 0;
    }
    out[n] = L'\0';
    return n;
}

// Grants the reader the setup's fields without widening the setup's interface.
struct SetupAccess : CGlo_FunctionSetup {
    static void assign(CGlo_FunctionSetup& s, const RecordFields& f) {
        wchar_t(CGlo_FunctionSetup::*name)[32] = &SetupAccess::name;
        glo_events::copyName(s.*name, f.name);
        s.*(&SetupAccess::eventType) = static_cast<GLO_EventType>(f.eventType);
        s.*(&SetupAccess::numberOfAxes) = f.numberOfAxes;
        unsigned int(CGlo_FunctionSetup::*axes)[6] = &SetupAccess::axis;
        int(CGlo_FunctionSetup::*polarities)[6] = &SetupAccess::polarity;
        for (int i = 0; i < 6; ++i) {
            (s.*axes)[i] = static_cast<unsigned int>(f.axis[i]);
            (s.*polarities)[i] = f.polarity[i];
        }
        s.*(&SetupAccess::threshold) = f.threshold;
        s.*(&SetupAccess::button) = f.button;
        s.*(&SetupAccess::buttonEvent) = static_cast<GLO_ButtonEventType>(f.buttonEvent);
    }
    static void read(const CGlo_FunctionSetup& s, RecordFields& f) {
        wchar_t(CGlo_FunctionSetup::*name)[32] = &SetupAccess::name;
        glo_events::copyName(f.name, s.*name);
        f.eventType = s.*(&SetupAccess::eventType);
        f.numberOfAxes = s.*(&SetupAccess::numberOfAxes);
        unsigned int(CGlo_FunctionSetup::*axes)[6] = &SetupAccess::axis;
        int(CGlo_FunctionSetup::*polarities)[6] = &SetupAccess::polarity;
        for (int i = 0; i < 6; ++i) {
            f.axis[i] = static_cast<int>((s.*axes)[i]);
            f.polarity[i] = (s.*polarities)[i];
        }
        f.threshold = s.*(&SetupAccess::threshold);
        f.button = s.*(&SetupAccess::button);
        f.buttonEvent = s.*(&SetupAccess::buttonEvent);
    }
};

} // namespace

const wchar_t* keyText(LineKey key) {
    return key >= 0 && key < KeyCount ? kKeys[key] : L"";
}

void resetFields(RecordFields& f) {
    for (int i = 0; i < 32; ++i)
        f.name[i] = L'\0';
    f.eventType = GLO_NoEvent;
    f.numberOfAxes = 0;
    for (int i = 0; i < 6; ++i) {
        f.axis[i] = 0;
        f.polarity[i] = 0;
    }
    f.threshold = 0;
    f.button = -1;
    f.buttonEvent = GLO_NoButtonEvent;
}

void applyFields(CGlo_FunctionSetup& setup, const RecordFields& fields) {
    SetupAccess::assign(setup, fields);
}

void fieldsOf(const CGlo_FunctionSetup& setup, RecordFields& fields) {
    SetupAccess::read(setup, fields);
}

int parseInt(const wchar_t* text) {
    if (text == nullptr)
        return 0;
    while (isBlank(*text))
        ++text;
    int value = 0;
    return scanInt(text, value) != nullptr ? value : 0;
}

int parseInts(const wchar_t* text, int* values, int count) {
    if (text == nullptr)
        return 0;
    int stored = 0;
    const wchar_t* p = text;
    while (stored < count) {
        while (isBlank(*p)) // "%d" and the blank between conversions skip white space
            ++p;
        int value = 0;
        const wchar_t* end = scanInt(p, value);
        if (end == nullptr)
            break;
        values[stored++] = value;
        p = end;
    }
    return stored;
}

int parseButtonEvent(const wchar_t* value) {
    if (wcsstr(value, L"any") != nullptr)
        return GLO_AnyButtonEvent;
    if (wcsstr(value, L"press") != nullptr)
        return GLO_ButtonPress;
    if (wcsstr(value, L"release") != nullptr)
        return GLO_ButtonRelease;
    return GLO_NoButtonEvent;
}

const char* buttonEventWord(int buttonEvent) {
    static const char* const kWords[4] = {"none", "release", "press", "any"};
    return buttonEvent >= 0 && buttonEvent < 4 ? kWords[buttonEvent] : "";
}

CRecordReader::CRecordReader(std::istream& in, CLineObserver* observer)
    : in(in), observer(observer), lines(0), seen(0), repeated(false), closed(false) {}

bool CRecordReader::done() const {
    return in.eof() || in.fail();
}

// One line into buffer (kMaxLineChars + 1 bytes). Bytes past the limit are consumed and
// counted, never stored. False when the stream held nothing more.
bool CRecordReader::readLine(char* buffer, LineInfo& info) {
    std::streambuf* source = in.rdbuf();
    if (source == nullptr) {
        setState(in, std::ios_base::badbit);
        return false;
    }
    long long total = 0;
    int kept = 0;
    int last = -1;
    bool any = false;
    bool ended = false;
    try {
        for (;;) {
            const int c = source->sbumpc();
            if (c == std::char_traits<char>::eof())
                break;
            any = true;
            if (c == '\n') {
                ended = true;
                break;
            }
            if (kept <= kMaxLineChars)
                buffer[kept++] = static_cast<char>(c);
            last = c;
            ++total;
        }
    } catch (...) {
        setState(in, std::ios_base::badbit);
    }
    if (!ended)
        setState(in, any ? std::ios_base::eofbit : std::ios_base::eofbit | std::ios_base::failbit);
    if (!any)
        return false;
    if (last == '\r') { // CR LF read from a byte stream
        --total;
        if (kept > total)
            kept = static_cast<int>(total);
    }
    info.length = total;
    info.truncated = total > kMaxLineChars;
    if (kept > kMaxLineChars)
        kept = kMaxLineChars;
    const void* nul = memchr(buffer, '\0', static_cast<size_t>(kept));
    info.hasNul = nul != nullptr;
    if (nul != nullptr)
        kept = static_cast<int>(static_cast<const char*>(nul) - buffer);
    info.lastWithoutEnd = !ended;
    buffer[kept] = '\0';
    return true;
}

bool CRecordReader::read(RecordFields& f) {
    resetFields(f);
    seen = 0;
    repeated = false;
    closed = false;
    if (done())
        return false;
    char bytes[kMaxLineChars + 1];
    wchar_t text[kMaxLineChars + 1];
    do {
        LineInfo info;
        if (!readLine(bytes, info))
            break;
        ++lines;
        widen(bytes, static_cast<int>(strlen(bytes)), text);

        LineKey key = KeyNone;
        const wchar_t* value = nullptr;
        for (int k = 0; k < KeyCount; ++k) {
            const wchar_t* at = wcsstr(text, kKeys[k]);
            if (at != nullptr) {
                key = static_cast<LineKey>(k);
                value = at + wcslen(kKeys[k]);
                break;
            }
        }
        if (observer != nullptr) {
            info.number = lines;
            info.key = key;
            info.text = text;
            observer->onLine(info);
        }
        if (key != KeyNone && key != KeyRecordStart) {
            if (seen & (1u << key))
                repeated = true;
            seen |= 1u << key;
        }

        switch (key) {
        case KeyFunction:
            glo_events::copyName(f.name, value);
            break;
        case KeyEventType:
            f.eventType = wcsstr(value, L"motion") != nullptr   ? GLO_MotionEvent
                          : wcsstr(value, L"button") != nullptr ? GLO_ButtonEvent
                                                                : GLO_NoEvent;
            break;
        case KeyNumberOfAxis:
            f.numberOfAxes = parseInt(value);
            break;
        case KeyAxis:
            parseInts(value, f.axis, 6);
            break;
        case KeyAxisPolarity:
            parseInts(value, f.polarity, 6);
            break;
        case KeyThreshold:
            f.threshold = parseInt(value); // as read: a negative dead zone stays invalid
            break;
        case KeyButton:
            f.button = parseInt(value);
            break;
        case KeyButtonEvent:
            f.buttonEvent = parseButtonEvent(value);
            break;
        case KeyRecordStart:
            closed = true;
            return true;
        default:
            break;
        }
    } while (!done());
    return true;
}

int checkConfigFile(const wchar_t* fileName, CConfigCheckObserver& observer) {
    CFileInBuf file(fileName);
    if (!file.isOpen())
        return -1;
    std::istream in(&file);
    CRecordReader reader(in, &observer);
    int index = 0;
    // The application's reload loop: one record per round until the stream ends or fails.
    while (!reader.done()) {
        RecordInfo info;
        info.index = index;
        info.firstLine = reader.lineNumber() + 1;
        reader.read(info.fields);
        info.lastLine = reader.lineNumber();
        info.keysSeen = reader.keysSeen();
        info.repeatedKey = reader.repeatedKey();
        info.atEnd = !reader.recordClosed();
        CGlo_FunctionSetup setup(L"", GLO_NoEvent);
        applyFields(setup, info.fields);
        observer.onRecord(info, setup);
        ++index;
    }
    return index;
}

} // namespace glo_config
