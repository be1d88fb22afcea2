// The copy rule of function and setup names: at most 31 characters and a terminator.
#pragma once

#include <wchar.h>

namespace glo_events {

// Copies up to the terminator or 32 characters; a 32nd character becomes the terminator, so
// longer names are cut to 31. The rest of the field is zeroed; a null source is empty.
inline void copyName(wchar_t (&dst)[32], const wchar_t* src) {
    int i = 0;
    if (src != nullptr)
        for (; i < 32 && src[i] != L'\0'; ++i)
            dst[i] = src[i];
    for (int j = i; j < 32; ++j)
        dst[j] = L'\0';
    dst[31] = L'\0';
}

} // namespace glo_events
