#include "windows/GloBarlessList.h"

#include "windows/GloBoundedSend.h"

namespace glo_windows {

// Class names: "ListBox" and the classes programs derive from it contain "listbox"; a combo
// box's list is "ComboLBox".
bool isListWithoutBar(const CGloHWND& window) {
    if (!window.IsWindowClass(L"listbox") && !window.IsWindowClass(L"combolbox"))
        return false;
    const unsigned long style = static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE));
    return (style & (WS_VSCROLL | WS_HSCROLL | LBS_MULTICOLUMN)) == 0;
}

// The height of the first entry serves for all, as it does in every list but one whose owner
// draws entries of heights of their own. A list that does not answer has nothing to scroll.
bool scrollsWithoutBar(const CGloHWND& window) {
    if (!isListWithoutBar(window))
        return false;
    LRESULT count = 0, height = 0;
    RECT client;
    if (!sendBounded(window, LB_GETCOUNT, 0, 0, &count) || count <= 1 ||
        !sendBounded(window, LB_GETITEMHEIGHT, 0, 0, &height) || height <= 0 ||
        !GetClientRect(window, &client))
        return false;
    return count > (client.bottom - client.top) / height;
}

} // namespace glo_windows
