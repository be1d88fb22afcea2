// Layout program (windows whose class names contain "pagemaker"): the cap moves the page by
// thumb, a twist turns pages, a lift or press zooms; the buttons copy and paste.
#include "common/PageViewTables.h"

namespace {

int matchLayout(HWND window) {
    return hasClassAbove(window, L"pagemaker") ? 12 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"Layout", matchLayout, s_functions, s_defaults, s_buttons)
