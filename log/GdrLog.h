// Formatting of the debug log lines written through the driver's log callback.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Tag that starts every line of the core.
#define GDR_LOG_TAG L"Vex_Core_Proxy.dll: "

// Formats into `buffer`, which holds `capacity` characters plus the terminator;
// longer output is cut at `capacity`. Understands %s and %ls (wide string, null
// prints as empty), %x (unsigned int, lower-case hex), %d (int) and %%. Our own
// so that the result does not depend on the runtime's printf flavour and the
// event path never touches the heap.
void gdrFormatLine(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...);
void gdrFormatLineV(wchar_t* buffer, std::size_t capacity, const wchar_t* format,
                    std::va_list args);

// Handles and addresses print with %x as their low 32 bits.
template <typename T> inline unsigned gdrHex(T* pointer) {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(pointer));
}
