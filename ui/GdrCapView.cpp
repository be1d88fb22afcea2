#include "ui/GdrCapView.h"

#include "ui/GdrGdi.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace glo_ui {

namespace {

const double kPi = 3.14159265358979323846;
const float kMaxShift = 0.15f;  // model units at full deflection
const float kMaxTurn = 30.0f;   // degrees at full deflection
const float kElevation = 35.0f; // the cap is seen from the front and above
const float kEyeDistance = 5.0f;
const float kRoom = 1.5f; // view size over the cap's size at rest

struct Matrix {
    float m[3][3];
    void apply(const float* in, float* out) const {
        for (int r = 0; r < 3; ++r)
            out[r] = m[r][0] * in[0] + m[r][1] * in[1] + m[r][2] * in[2];
    }
    Matrix operator*(const Matrix& o) const {
        Matrix p = {};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < 3; ++k)
                    p.m[r][c] += m[r][k] * o.m[k][c];
        return p;
    }
};

Matrix rotation(int axis, float degrees) {
    const float a = static_cast<float>(degrees * kPi / 180.0);
    const float c = std::cos(a), s = std::sin(a);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    Matrix r = {};
    r.m[axis][axis] = 1;
    r.m[i][i] = c, r.m[i][j] = -s;
    r.m[j][i] = s, r.m[j][j] = c;
    return r;
}

// Model coordinates (x right, y away from the viewer, z up) to view coordinates (x right, y up,
// z toward the viewer), looking down onto the cap at the elevation angle.
Matrix viewMatrix() {
    Matrix swap = {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}};
    return rotation(0, kElevation) * swap;
}

UINT statusString(GdrCapModelStatus status) {
    switch (status) {
    case GdrCapModelNotFound:
        return IDS_CAP_NOT_FOUND;
    case GdrCapModelUnreadable:
        return IDS_CAP_UNREADABLE;
    case GdrCapModelTooLarge:
        return IDS_CAP_TOO_LARGE;
    case GdrCapModelTruncated:
        return IDS_CAP_TRUNCATED;
    case GdrCapModelBadNumber:
        return IDS_CAP_BAD_NUMBER;
    case GdrCapModelGarbage:
        return IDS_CAP_GARBAGE;
    case GdrCapModelEmpty:
        return IDS_CAP_EMPTY;
    default:
        return 0;
    }
}

} // namespace

CGdrCapView::CGdrCapView()
    : m_status(GdrCapModelNotFound), m_pose(), m_extent(), m_wireframe(false) {}

void CGdrCapView::loadModel(const std::wstring& path) {
    CGdrCapModel model;
    m_status = path.empty() ? GdrCapModelNotFound : model.load(path.c_str());
    std::wstring reason;
    if (m_status != GdrCapModelLoaded) {
        const HINSTANCE module = GetResourceInstance();
        wchar_t format[160] = L"", text[200] = L"", puck[160] = L"";
        LoadStringW(module, statusString(m_status), format, 160);
        std::swprintf(text, 200, format, model.garbageLine());
        LoadStringW(module, IDS_CAP_PUCK, puck, 160);
        reason = std::wstring(text) + L" " + puck;
        model.makePuck();
    }
    prepare(model);
    if (m_hWnd) {
        SetWindowTextW(m_hWnd, reason.c_str());
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
}

void CGdrCapView::prepare(const CGdrCapModel& model) {
    const int count = model.triangleCount();
    double low[3] = {1e300, 1e300, 1e300}, high[3] = {-1e300, -1e300, -1e300};
    for (int t = 0; t < count; ++t)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], double(model.triangle(t).v[c][k]));
                high[k] = std::max(high[k], double(model.triangle(t).v[c][k]));
            }
    double centre[3], radius = 0;
    for (int k = 0; k < 3; ++k)
        centre[k] = (low[k] + high[k]) / 2;
    for (int t = 0; t < count; ++t)
        for (int c = 0; c < 3; ++c) {
            double d = 0;
            for (int k = 0; k < 3; ++k) {
                const double e = model.triangle(t).v[c][k] - centre[k];
                d += e * e;
            }
            radius = std::max(radius, std::sqrt(d));
        }
    const double scale = radius > 0 && std::isfinite(radius) ? 1.0 / radius : 1.0;

    m_vertices.assign(static_cast<std::size_t>(count) * 9, 0.0f);
    m_normals.assign(static_cast<std::size_t>(count) * 3, 0.0f);
    for (int t = 0; t < count; ++t) {
        float* v = &m_vertices[static_cast<std::size_t>(t) * 9];
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                v[c * 3 + k] = static_cast<float>((model.triangle(t).v[c][k] - centre[k]) * scale);
        // The stored normals are not trusted: taken from the corners (winding decides nothing,
        // both faces are lit alike).
        const float e1[3] = {v[3] - v[0], v[4] - v[1], v[5] - v[2]};
        const float e2[3] = {v[6] - v[0], v[7] - v[1], v[8] - v[2]};
        float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                      e1[0] * e2[1] - e1[1] * e2[0]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int k = 0; k < 3; ++k)
            m_normals[static_cast<std::size_t>(t) * 3 + k] = length > 0 ? n[k] / length : 0;
    }
    // What the cap covers on screen at rest decides its size in the view.
    const Matrix view = viewMatrix();
    m_extent[0] = m_extent[2] = 1e30f;
    m_extent[1] = m_extent[3] = -1e30f;
    for (std::size_t i = 0; i + 3 <= m_vertices.size(); i += 3) {
        float p[3];
        view.apply(&m_vertices[i], p);
        const float perspective = kEyeDistance / (kEyeDistance - p[2]);
        m_extent[0] = std::min(m_extent[0], p[0] * perspective);
        m_extent[1] = std::max(m_extent[1], p[0] * perspective);
        m_extent[2] = std::min(m_extent[2], p[1] * perspective);
        m_extent[3] = std::max(m_extent[3], p[1] * perspective);
    }
    m_points.assign(static_cast<std::size_t>(count) * 3, POINT());
    m_depth.assign(static_cast<std::size_t>(count), 0.0f);
    m_shade.assign(static_cast<std::size_t>(count), 0.0f);
    m_order.assign(static_cast<std::size_t>(count), 0);
}

bool CGdrCapView::setLiveMotion(const int values[6]) {
    float pose[6];
    for (int i = 0; i < 6; ++i) {
        const float v = std::max(-1.0f, std::min(1.0f, float(values[i]) / kFullScale));
        pose[i] = v * (i < 3 ? kMaxShift : kMaxTurn);
    }
    if (std::equal(pose, pose + 6, m_pose))
        return false;
    std::copy(pose, pose + 6, m_pose);
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
    return true;
}

LRESULT CGdrCapView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return CWnd::WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0; // nothing may leave through the system's message dispatch
    }
}

const GloMessageMapEntry* CGdrCapView::GetMessageMap() const {
    static const GloMessageMapEntry map[] = {
        GLO_ON_MESSAGE(WM_PAINT, CGdrCapView, OnPaint),
        GLO_ON_MESSAGE(WM_ERASEBKGND, CGdrCapView, OnEraseBackground),
        GLO_ON_MESSAGE(WM_LBUTTONDBLCLK, CGdrCapView, OnDoubleClick),
        GLO_ON_MESSAGE(GDR_CVM_GETSTATUS, CGdrCapView, OnGetStatus),
        GLO_ON_MESSAGE(GDR_CVM_GETTRIANGLES, CGdrCapView, OnGetTriangles),
        GLO_ON_MESSAGE(GDR_CVM_GETPOSE, CGdrCapView, OnGetPose),
        GLO_END_MESSAGE_MAP()};
    return map;
}

LRESULT CGdrCapView::OnEraseBackground(WPARAM, LPARAM) {
    return 1;
}

LRESULT CGdrCapView::OnDoubleClick(WPARAM, LPARAM) {
    m_wireframe = !m_wireframe;
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return 0;
}

LRESULT CGdrCapView::OnGetStatus(WPARAM, LPARAM) {
    return m_status;
}

LRESULT CGdrCapView::OnGetTriangles(WPARAM, LPARAM) {
    return static_cast<LRESULT>(m_depth.size());
}

LRESULT CGdrCapView::OnGetPose(WPARAM, LPARAM lParam) {
    if (float* out = reinterpret_cast<float*>(lParam))
        std::copy(m_pose, m_pose + 6, out);
    return 0;
}

LRESULT CGdrCapView::OnPaint(WPARAM, LPARAM) {
    CPaintDC target(m_hWnd);
    RECT client;
    GetClientRect(m_hWnd, &client);
    CBackBuffer buffer(target.get(), client.right, client.bottom);
    draw(buffer.get(), client);
    return 0;
}

void CGdrCapView::draw(HDC dc, const RECT& client) {
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    SetDCBrushColor(dc, background);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    // Why the puck stands in: a band at the bottom, the model above it.
    RECT area = client;
    wchar_t reason[400] = L"";
    if (GetWindowTextW(m_hWnd, reason, 400) > 0) {
        HWND parent = GetParent(m_hWnd);
        HFONT font =
            parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
        CSelection selected(dc, font);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        RECT text = client;
        InflateRect(&text, -metrics.tmAveCharWidth, -metrics.tmHeight / 3);
        RECT measured = text;
        DrawTextW(dc, reason, -1, &measured, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        text.top = text.bottom - (measured.bottom - measured.top);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextW(dc, reason, -1, &text, DT_WORDBREAK | DT_NOPREFIX);
        area.bottom = text.top - metrics.tmHeight / 3;
    }

    const int width = area.right - area.left, height = area.bottom - area.top;
    const std::size_t count = m_depth.size();
    if (count == 0 || width <= 0 || height <= 0)
        return;
    const Matrix view = viewMatrix();
    // The device's axes, in the plug-ins' signs, are x right, y up and z away from the user: the
    // model's x, z and y. A tilts forward, b twists clockwise seen from above, c tilts right.
    const Matrix turn = rotation(1, m_pose[5]) * rotation(2, -m_pose[4]) * rotation(0, -m_pose[3]);
    const Matrix full = view * turn;
    const float move[3] = {m_pose[0], m_pose[2], m_pose[1]};
    float shift[3];
    view.apply(move, shift);
    // The cap at rest fills most of the view, with room to move and turn.
    const float spanX = std::max(0.05f, m_extent[1] - m_extent[0]);
    const float spanY = std::max(0.05f, m_extent[3] - m_extent[2]);
    const float scale = std::min(width / (spanX * kRoom), height / (spanY * kRoom));
    const float cx = area.left + width / 2.0f - scale * (m_extent[0] + m_extent[1]) / 2;
    const float cy = area.top + height / 2.0f + scale * (m_extent[2] + m_extent[3]) / 2;
    const float light[3] = {-0.35f, 0.55f, 0.76f};
    for (std::size_t t = 0; t < count; ++t) {
        float depth = 0;
        for (int c = 0; c < 3; ++c) {
            float p[3];
            full.apply(&m_vertices[t * 9 + c * 3], p);
            for (int k = 0; k < 3; ++k)
                p[k] += shift[k];
            const float perspective = kEyeDistance / (kEyeDistance - p[2]);
            m_points[t * 3 + c].x = static_cast<LONG>(cx + scale * p[0] * perspective);
            m_points[t * 3 + c].y = static_cast<LONG>(cy - scale * p[1] * perspective);
            depth += p[2];
        }
        float n[3];
        full.apply(&m_normals[t * 3], n);
        const float lit = std::fabs(n[0] * light[0] + n[1] * light[1] + n[2] * light[2]);
        m_depth[t] = depth;
        m_shade[t] = 0.18f + 0.82f * lit;
        m_order[t] = static_cast<int>(t);
    }
    std::sort(m_order.begin(), m_order.end(),
              [this](int a, int b) { return m_depth[a] < m_depth[b]; });

    CSelection brush(dc, GetStockObject(m_wireframe ? NULL_BRUSH : DC_BRUSH));
    CSelection pen(dc, GetStockObject(DC_PEN));
    const COLORREF edge = GetSysColor(COLOR_WINDOWTEXT);
    for (int t : m_order) {
        if (m_wireframe) {
            SetDCPenColor(dc, edge);
        } else {
            // A dark satin cap: grey-blue, lighter where the light falls.
            const float s = m_shade[t];
            const COLORREF color =
                RGB(static_cast<int>(38 + 150 * s), static_cast<int>(44 + 158 * s),
                    static_cast<int>(56 + 170 * s));
            SetDCBrushColor(dc, color);
            SetDCPenColor(dc, color); // no seams between neighbours
        }
        Polygon(dc, &m_points[static_cast<std::size_t>(t) * 3], 3);
    }
}

} // namespace glo_ui
