// The axis-mapping control ("GdrAxisMappingCtl"): the twelve directions of the device's axes as
// drop targets, each saying what it does in the selected application, where a push starts to
// count, and whether two setups claim it; each lights up with the live motion of the cap. The
// arrow keys move between the directions; the focused one names the control for screen readers.
#pragma once

#include "GloWnd.h"
#include "ui/GdrConfigUi.h"
#include "ui/GdrGdi.h"

#include <string>

namespace glo_ui {

class CGdrAxisMappingCtl : public CWnd {
public:
    CGdrAxisMappingCtl();

    // What a direction does; shown in its cell.
    void setText(int direction, const std::wstring& text);
    // Level (thousandths of full scale) from which a push selects a function; -1: none does.
    void setStart(int direction, int level);
    // Setups that a push in the direction reaches; more than one is marked as a conflict.
    void setClaims(int direction, int claims);
    // The user's speed for what a push in the direction drives (thousandths; 1000 normal): the
    // bright part beyond the start grows with it, up to the cell's end.
    void setSpeed(int direction, int speed);
    // Scaled live values of the six axes; returns true when a level changed.
    bool setLiveMotion(const int values[6]);
    // The direction under a drag (-1: none), and whether the dragged function can go there.
    void setDropTarget(int direction, bool allowed);
    // The direction at a point of the client area, or -1.
    int directionAt(POINT client) const;
    bool directionRect(int direction, RECT& rect) const;
    int level(int direction) const { return m_levels[direction]; }
    // Where the light of a direction ends as drawn (0..1000): the live level, its part beyond
    // the start scaled by the speed.
    int lit(int direction) const;
    // The direction the keyboard works on.
    int focusDirection() const { return m_focus; }

    // Live strength that fills a cell completely.
    static const int kFullScale = 350;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    const GloMessageMapEntry* GetMessageMap() const override;

    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnEraseBackground(WPARAM, LPARAM);
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnGetTargetRect(WPARAM, LPARAM);
    LRESULT OnGetLevel(WPARAM, LPARAM);
    LRESULT OnGetText(WPARAM, LPARAM);
    LRESULT OnGetStart(WPARAM, LPARAM);
    LRESULT OnGetClaims(WPARAM, LPARAM);
    LRESULT OnGetLit(WPARAM, LPARAM);
    LRESULT OnGetDlgCode(WPARAM, LPARAM);
    LRESULT OnKeyDown(WPARAM, LPARAM);
    LRESULT OnFocusChange(WPARAM, LPARAM);
    LRESULT OnLeftButtonDown(WPARAM, LPARAM);

private:
    void layout();
    void paint(HDC dc, const RECT& client);
    void ensureFonts(HDC dc);
    void invalidate(int direction);
    void moveFocus(int direction);
    // The window text: the focused direction and what it does.
    void updateName();

    std::wstring m_texts[kGdrDirections];
    int m_levels[kGdrDirections];
    int m_starts[kGdrDirections];
    int m_claims[kGdrDirections];
    int m_speeds[kGdrDirections];
    int m_dropTarget;
    bool m_dropAllowed;
    int m_focus;
    RECT m_cells[kGdrDirections];
    RECT m_captions[2];
    std::wstring m_captionTexts[2]; // translations, rotations
    std::wstring m_freeText;        // a direction nothing answers
    HFONT m_baseFont;               // the dialog's, not owned
    CGdiObject m_badgeFont;         // bold variant of it
};

} // namespace glo_ui
