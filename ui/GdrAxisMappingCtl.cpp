#include "ui/GdrAxisMappingCtl.h"

#include "ui/GdrTexts.h"

#include <algorithm>
#include <cwchar>

namespace glo_ui {

namespace {

const wchar_t kAxisLetters[] = L"xyzabc";

// Translations first, then rotations; in each row the negative direction sits left of the
// positive one, so that an axis reads like a scale with its rest position in the middle.
const int kRowsPerGroup = 3;

COLORREF blend(COLORREF a, COLORREF b, int percentOfB) {
    auto mix = [&](int x, int y) { return (x * (100 - percentOfB) + y * percentOfB) / 100; };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
               mix(GetBValue(a), GetBValue(b)));
}

void fill(HDC dc, const RECT& rect, COLORREF color) {
    SetDCBrushColor(dc, color);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void frame(HDC dc, RECT rect, COLORREF color, int width) {
    for (int i = 0; i < width; ++i) {
        SetDCBrushColor(dc, color);
        FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        InflateRect(&rect, -1, -1);
    }
}

} // namespace

CGdrAxisMappingCtl::CGdrAxisMappingCtl()
    : m_dropTarget(-1), m_dropAllowed(false), m_focus(0), m_baseFont(nullptr) {
    for (int i = 0; i < kGdrDirections; ++i) {
        m_levels[i] = 0;
        m_starts[i] = -1;
        m_claims[i] = 0;
        m_speeds[i] = 1000;
        SetRectEmpty(&m_cells[i]);
    }
    SetRectEmpty(&m_captions[0]);
    SetRectEmpty(&m_captions[1]);
    m_captionTexts[0] = loadText(IDS_TRANSLATION);
    m_captionTexts[1] = loadText(IDS_ROTATION);
    m_freeText = loadText(IDS_NOT_ASSIGNED);
}

void CGdrAxisMappingCtl::invalidate(int direction) {
    if (m_hWnd && direction >= 0 && direction < kGdrDirections)
        InvalidateRect(m_hWnd, &m_cells[direction], FALSE);
}

void CGdrAxisMappingCtl::setText(int direction, const std::wstring& text) {
    if (direction < 0 || direction >= kGdrDirections || m_texts[direction] == text)
        return;
    m_texts[direction] = text;
    invalidate(direction);
    if (direction == m_focus)
        updateName();
}

void CGdrAxisMappingCtl::setStart(int direction, int level) {
    if (direction < 0 || direction >= kGdrDirections || m_starts[direction] == level)
        return;
    m_starts[direction] = level;
    invalidate(direction);
}

void CGdrAxisMappingCtl::setClaims(int direction, int claims) {
    if (direction < 0 || direction >= kGdrDirections || m_claims[direction] == claims)
        return;
    m_claims[direction] = claims;
    invalidate(direction);
}

void CGdrAxisMappingCtl::setSpeed(int direction, int speed) {
    if (direction < 0 || direction >= kGdrDirections || m_speeds[direction] == speed)
        return;
    m_speeds[direction] = speed;
    invalidate(direction);
}

int CGdrAxisMappingCtl::lit(int direction) const {
    if (direction < 0 || direction >= kGdrDirections)
        return 0;
    const int level = m_levels[direction];
    const int start = m_starts[direction] < 0 ? 1000 : std::min(1000, m_starts[direction]);
    if (level <= start)
        return level;
    const long long beyond = static_cast<long long>(level - start) * m_speeds[direction] / 1000;
    return static_cast<int>(std::min<long long>(1000, start + beyond));
}

void CGdrAxisMappingCtl::updateName() {
    if (!m_hWnd)
        return;
    const wchar_t badge[] = {kAxisLetters[m_focus / 2], m_focus % 2 ? L'\x2212' : L'+', L' ', 0};
    SetWindowTextW(m_hWnd,
                   (badge + (m_texts[m_focus].empty() ? m_freeText : m_texts[m_focus])).c_str());
}

void CGdrAxisMappingCtl::moveFocus(int direction) {
    if (direction < 0 || direction >= kGdrDirections || direction == m_focus)
        return;
    invalidate(m_focus);
    m_focus = direction;
    invalidate(m_focus);
    updateName();
}

bool CGdrAxisMappingCtl::setLiveMotion(const int values[6]) {
    bool changed = false;
    for (int axis = 0; axis < 6; ++axis) {
        const long long v = values[axis];
        const int strength =
            static_cast<int>(std::min<long long>(1000, (v < 0 ? -v : v) * 1000 / kFullScale));
        for (int negative = 0; negative < 2; ++negative) {
            const int direction = gdrDirection(axis, negative != 0);
            const int level = (negative ? v < 0 : v > 0) ? strength : 0;
            if (m_levels[direction] != level) {
                m_levels[direction] = level;
                changed = true;
                invalidate(direction);
            }
        }
    }
    return changed;
}

void CGdrAxisMappingCtl::setDropTarget(int direction, bool allowed) {
    if (direction == m_dropTarget && allowed == m_dropAllowed)
        return;
    invalidate(m_dropTarget);
    m_dropTarget = direction;
    m_dropAllowed = allowed;
    invalidate(m_dropTarget);
}

int CGdrAxisMappingCtl::directionAt(POINT client) const {
    for (int i = 0; i < kGdrDirections; ++i)
        if (PtInRect(&m_cells[i], client))
            return i;
    return -1;
}

bool CGdrAxisMappingCtl::directionRect(int direction, RECT& rect) const {
    if (direction < 0 || direction >= kGdrDirections)
        return false;
    rect = m_cells[direction];
    return true;
}

LRESULT CGdrAxisMappingCtl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return CWnd::WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0; // nothing may leave through the system's message dispatch
    }
}

const GloMessageMapEntry* CGdrAxisMappingCtl::GetMessageMap() const {
    static const GloMessageMapEntry map[] = {
        GLO_ON_MESSAGE(WM_PAINT, CGdrAxisMappingCtl, OnPaint),
        GLO_ON_MESSAGE(WM_ERASEBKGND, CGdrAxisMappingCtl, OnEraseBackground),
        GLO_ON_MESSAGE(WM_SIZE, CGdrAxisMappingCtl, OnSize),
        GLO_ON_MESSAGE(GDR_AMM_GETTARGETRECT, CGdrAxisMappingCtl, OnGetTargetRect),
        GLO_ON_MESSAGE(GDR_AMM_GETLEVEL, CGdrAxisMappingCtl, OnGetLevel),
        GLO_ON_MESSAGE(GDR_AMM_GETLIT, CGdrAxisMappingCtl, OnGetLit),
        GLO_ON_MESSAGE(GDR_AMM_GETTEXT, CGdrAxisMappingCtl, OnGetText),
        GLO_ON_MESSAGE(GDR_AMM_GETSTART, CGdrAxisMappingCtl, OnGetStart),
        GLO_ON_MESSAGE(GDR_AMM_GETCLAIMS, CGdrAxisMappingCtl, OnGetClaims),
        GLO_ON_MESSAGE(WM_GETDLGCODE, CGdrAxisMappingCtl, OnGetDlgCode),
        GLO_ON_MESSAGE(WM_KEYDOWN, CGdrAxisMappingCtl, OnKeyDown),
        GLO_ON_MESSAGE(WM_SETFOCUS, CGdrAxisMappingCtl, OnFocusChange),
        GLO_ON_MESSAGE(WM_KILLFOCUS, CGdrAxisMappingCtl, OnFocusChange),
        GLO_ON_MESSAGE(WM_LBUTTONDOWN, CGdrAxisMappingCtl, OnLeftButtonDown),
        GLO_END_MESSAGE_MAP()};
    return map;
}

void CGdrAxisMappingCtl::ensureFonts(HDC dc) {
    HWND parent = GetParent(m_hWnd);
    HFONT base = parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    if (!base)
        base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (base == m_baseFont && m_badgeFont)
        return;
    m_baseFont = base;
    LOGFONTW font = {};
    GetObjectW(base, sizeof(font), &font);
    font.lfWeight = FW_BOLD;
    m_badgeFont.reset(CreateFontIndirectW(&font));
    (void)dc;
}

// Sizes follow the dialog font, so the control scales with the system's DPI like the dialog.
void CGdrAxisMappingCtl::layout() {
    RECT client;
    GetClientRect(m_hWnd, &client);
    int fontHeight = 13;
    if (HDC dc = GetDC(m_hWnd)) {
        ensureFonts(dc);
        CSelection font(dc, m_baseFont);
        TEXTMETRICW metrics;
        if (GetTextMetricsW(dc, &metrics))
            fontHeight = metrics.tmHeight;
        ReleaseDC(m_hWnd, dc);
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int gap = std::max(2, fontHeight / 4);
    const int captionHeight = fontHeight + gap;
    const int rowHeight = std::max(fontHeight + 2, (height - 2 * captionHeight - 6 * gap) / 6);
    const int cellWidth = (width - gap) / 2;
    int y = client.top;
    for (int group = 0; group < 2; ++group) {
        m_captions[group] = {client.left, y, client.right, y + captionHeight};
        y += captionHeight;
        for (int row = 0; row < kRowsPerGroup; ++row) {
            const int axis = group * kRowsPerGroup + row;
            RECT negative = {client.left, y, client.left + cellWidth, y + rowHeight};
            RECT positive = {client.right - cellWidth, y, client.right, y + rowHeight};
            m_cells[gdrDirection(axis, true)] = negative;
            m_cells[gdrDirection(axis, false)] = positive;
            y += rowHeight + gap;
        }
    }
}

LRESULT CGdrAxisMappingCtl::OnSize(WPARAM, LPARAM) {
    layout();
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return 0;
}

LRESULT CGdrAxisMappingCtl::OnEraseBackground(WPARAM, LPARAM) {
    return 1; // painted whole in OnPaint
}

LRESULT CGdrAxisMappingCtl::OnPaint(WPARAM, LPARAM) {
    CPaintDC target(m_hWnd);
    RECT client;
    GetClientRect(m_hWnd, &client);
    if (IsRectEmpty(&m_cells[0]))
        layout();
    CBackBuffer buffer(target.get(), client.right, client.bottom);
    paint(buffer.get(), client);
    return 0;
}

void CGdrAxisMappingCtl::paint(HDC dc, const RECT& client) {
    ensureFonts(dc);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF border = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF live = RGB(255, 176, 32);
    const COLORREF alarm = RGB(204, 0, 0);
    fill(dc, client, face);
    SetBkMode(dc, TRANSPARENT);

    CSelection baseFont(dc, m_baseFont);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int pad = std::max(2, static_cast<int>(metrics.tmAveCharWidth) / 2);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (int group = 0; group < 2; ++group) {
        RECT caption = m_captions[group];
        DrawTextW(dc, m_captionTexts[group].c_str(), -1, &caption,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }

    const bool focused = GetFocus() == m_hWnd;
    for (int direction = 0; direction < kGdrDirections; ++direction) {
        const RECT cell = m_cells[direction];
        const bool negative = direction % 2 == 1;
        const bool target = direction == m_dropTarget && m_dropAllowed;
        const bool conflict = m_claims[direction] > 1;
        fill(dc, cell, target ? blend(window, highlight, 25) : window);
        // The live strength grows outward from the axis's rest position in the middle: pale up to
        // where a push starts to count, bright beyond.
        RECT inner = cell;
        InflateRect(&inner, -1, -1);
        const int span = inner.right - inner.left;
        auto part = [&](int from, int to) {
            RECT bar = inner;
            if (negative) {
                bar.right = inner.right - span * from / 1000;
                bar.left = inner.right - span * to / 1000;
            } else {
                bar.left = inner.left + span * from / 1000;
                bar.right = inner.left + span * to / 1000;
            }
            return bar;
        };
        const int level = lit(direction);
        const int start = m_starts[direction] < 0 ? 1000 : std::min(1000, m_starts[direction]);
        if (level > 0)
            fill(dc, part(0, std::min(level, start)), blend(window, border, 30));
        if (level > start)
            fill(dc, part(start, level), blend(window, live, 35 + level * 65 / 1000));
        if (m_starts[direction] >= 0 && m_starts[direction] <= 1000) {
            // Ticks at the top and the bottom edge, clear of the text.
            const int tick = std::max(3, static_cast<int>(inner.bottom - inner.top) / 4);
            RECT mark = part(start, start);
            mark.left = negative ? mark.left - 2 : mark.left;
            mark.right = mark.left + 2;
            mark.bottom = inner.top + tick;
            fill(dc, mark, blend(window, text, 70));
            OffsetRect(&mark, 0, inner.bottom - tick - inner.top);
            fill(dc, mark, blend(window, text, 70));
        }
        frame(dc, cell, target ? highlight : conflict ? alarm : border, target || conflict ? 2 : 1);
        if (focused && direction == m_focus) {
            RECT focus = cell;
            InflateRect(&focus, -3, -3);
            DrawFocusRect(dc, &focus);
        }

        wchar_t badge[3] = {kAxisLetters[direction / 2], negative ? L'\x2212' : L'+', 0};
        RECT badgeRect = cell;
        badgeRect.left += pad * 2;
        RECT textRect = cell;
        textRect.right = cell.right - pad * 2;
        {
            CSelection bold(dc, m_badgeFont.get());
            SetTextColor(dc, text);
            SIZE size = {};
            GetTextExtentPoint32W(dc, L"x\x2212 ", 3, &size);
            DrawTextW(dc, badge, 2, &badgeRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            if (conflict) {
                // Two setups answer the same push: they compete, and it may run either or neither.
                SetTextColor(dc, alarm);
                GetTextExtentPoint32W(dc, L"!", 1, &size);
                RECT mark = textRect;
                DrawTextW(dc, L"!", 1, &mark, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
                textRect.right -= size.cx + pad;
                SetTextColor(dc, text);
                GetTextExtentPoint32W(dc, L"x\x2212 ", 3, &size);
            }
            textRect.left = badgeRect.left + size.cx;
        }
        DrawTextW(dc, m_texts[direction].c_str(), -1, &textRect,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

LRESULT CGdrAxisMappingCtl::OnGetTargetRect(WPARAM wParam, LPARAM lParam) {
    RECT* rect = reinterpret_cast<RECT*>(lParam);
    if (!rect)
        return FALSE;
    if (IsRectEmpty(&m_cells[0]))
        layout();
    return directionRect(static_cast<int>(wParam), *rect) ? TRUE : FALSE;
}

LRESULT CGdrAxisMappingCtl::OnGetLevel(WPARAM wParam, LPARAM) {
    return wParam < static_cast<WPARAM>(kGdrDirections) ? m_levels[wParam] : 0;
}

LRESULT CGdrAxisMappingCtl::OnGetText(WPARAM wParam, LPARAM lParam) {
    wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
    if (!buffer || wParam >= static_cast<WPARAM>(kGdrDirections))
        return 0;
    lstrcpynW(buffer, m_texts[wParam].c_str(), GDR_CELL_TEXT_CHARS);
    return static_cast<LRESULT>(std::wcslen(buffer));
}

LRESULT CGdrAxisMappingCtl::OnGetStart(WPARAM wParam, LPARAM) {
    return wParam < static_cast<WPARAM>(kGdrDirections) ? m_starts[wParam] : -1;
}

LRESULT CGdrAxisMappingCtl::OnGetLit(WPARAM wParam, LPARAM) {
    return wParam < static_cast<WPARAM>(kGdrDirections) ? lit(static_cast<int>(wParam)) : 0;
}

LRESULT CGdrAxisMappingCtl::OnGetClaims(WPARAM wParam, LPARAM) {
    return wParam < static_cast<WPARAM>(kGdrDirections) ? m_claims[wParam] : 0;
}

LRESULT CGdrAxisMappingCtl::OnGetDlgCode(WPARAM, LPARAM) {
    return DLGC_WANTARROWS; // Tab, Enter and Escape stay the dialog's
}

// Arrows move like the cells lie: left the negative direction, right the positive one, up and
// down the axes in their rows.
LRESULT CGdrAxisMappingCtl::OnKeyDown(WPARAM wParam, LPARAM lParam) {
    const int axis = m_focus / 2;
    const bool negative = m_focus % 2 == 1;
    switch (wParam) {
    case VK_LEFT:
        moveFocus(gdrDirection(axis, true));
        return 0;
    case VK_RIGHT:
        moveFocus(gdrDirection(axis, false));
        return 0;
    case VK_UP:
        moveFocus(gdrDirection(std::max(0, axis - 1), negative));
        return 0;
    case VK_DOWN:
        moveFocus(gdrDirection(std::min(5, axis + 1), negative));
        return 0;
    case VK_HOME:
        moveFocus(gdrDirection(0, true));
        return 0;
    case VK_END:
        moveFocus(gdrDirection(5, false));
        return 0;
    default:
        return DefaultWindowProc(WM_KEYDOWN, wParam, lParam);
    }
}

LRESULT CGdrAxisMappingCtl::OnFocusChange(WPARAM, LPARAM) {
    invalidate(m_focus);
    return 0;
}

LRESULT CGdrAxisMappingCtl::OnLeftButtonDown(WPARAM, LPARAM lParam) {
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    moveFocus(directionAt(point));
    SetFocus(m_hWnd);
    return 0;
}

} // namespace glo_ui
