#include "log/GdrLog.h"

namespace {

struct LineWriter {
    wchar_t* out;
    std::size_t capacity;
    std::size_t length;

    void put(wchar_t c) {
        if (length < capacity)
            out[length++] = c;
    }
    void putString(const wchar_t* text) {
        for (; text && *text && length < capacity; ++text)
            out[length++] = *text;
    }
    void putNumber(unsigned long long value, unsigned base, bool negative) {
        wchar_t digits[24];
        int count = 0;
        do {
            unsigned digit = static_cast<unsigned>(value % base);
            digits[count++] = static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
            value /= base;
        } while (value != 0);
        if (negative)
            put(L'-');
        while (count > 0)
            put(digits[--count]);
    }
};

} // namespace

void gdrFormatLineV(wchar_t* buffer, std::size_t capacity, const wchar_t* format,
                    std::va_list args) {
    LineWriter w{buffer, capacity, 0};
    for (const wchar_t* p = format; p && *p; ++p) {
        if (*p != L'%') {
            w.put(*p);
            continue;
        }
        ++p;
        if (*p == L'l' && p[1] == L's')
            ++p;
        switch (*p) {
        case L's':
            w.putString(va_arg(args, const wchar_t*));
            break;
        case L'x':
            w.putNumber(va_arg(args, unsigned), 16, false);
            break;
        case L'd': {
            long long value = va_arg(args, int);
            w.putNumber(static_cast<unsigned long long>(value < 0 ? -value : value), 10, value < 0);
            break;
        }
        case L'%':
            w.put(L'%');
            break;
        case L'\0':
            --p; // a lone '%' at the end
            break;
        default:
            w.put(L'%');
            w.put(*p);
            break;
        }
    }
    buffer[w.length] = L'\0';
}

void gdrFormatLine(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    gdrFormatLineV(buffer, capacity, format, args);
    va_end(args);
}
