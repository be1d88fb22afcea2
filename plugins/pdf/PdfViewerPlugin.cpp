// PDF viewer (views in "AVL_AV" frames, whose scroll bars sit in frames of their own): the cap
// moves the view by thumb, smoothly, a twist turns pages, a lift or press zooms; the buttons
// copy and paste.
#include "common/PageViewTables.h"

namespace {

int matchPdfViewer(HWND window) {
    return hasClassAbove(window, L"AVL_AV") ? 12 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"PdfViewer", matchPdfViewer, s_functions, s_defaults, s_buttons)
