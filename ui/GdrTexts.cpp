#include "ui/GdrTexts.h"

#include "GloWnd.h"
#include "log/GdrLog.h"

#include <cstdarg>

namespace glo_ui {

std::wstring loadText(UINT id) {
    wchar_t text[512] = L"";
    LoadStringW(CWnd::GetResourceInstance(), id, text, 512);
    return text;
}

std::wstring formatText(UINT id, ...) {
    const std::wstring format = loadText(id);
    wchar_t text[1024];
    std::va_list args;
    va_start(args, id);
    gdrFormatLineV(text, 1023, format.c_str(), args);
    va_end(args);
    return text;
}

} // namespace glo_ui
