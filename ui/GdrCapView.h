// The cap view ("GdrCapWrapperCtl"): the cap's 3-D model, shaded (or as a wire frame after a
// double click) with GDI, turning and moving with the live motion. Without a readable model it
// draws a plain puck and says why.
#pragma once

#include "GloWnd.h"
#include "ui/GdrCapModel.h"
#include "ui/GdrConfigUi.h"

#include <string>
#include <vector>

namespace glo_ui {

class CGdrCapView : public CWnd {
public:
    CGdrCapView();

    // Reads the model file; without a usable one the puck stands in and the window text
    // says why.
    void loadModel(const std::wstring& path);
    // Scaled live values of the six axes; true when the pose changed.
    bool setLiveMotion(const int values[6]);
    GdrCapModelStatus status() const { return m_status; }

    // Live deflection that gives the largest shown movement and turn.
    static const int kFullScale = 350;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    const GloMessageMapEntry* GetMessageMap() const override;

    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnEraseBackground(WPARAM, LPARAM);
    LRESULT OnDoubleClick(WPARAM, LPARAM);
    LRESULT OnGetStatus(WPARAM, LPARAM);
    LRESULT OnGetTriangles(WPARAM, LPARAM);
    LRESULT OnGetPose(WPARAM, LPARAM);

private:
    // The model centred and scaled into the unit sphere, with the buffers one frame needs, so
    // that drawing allocates nothing.
    void prepare(const CGdrCapModel& model);
    void draw(HDC dc, const RECT& client);

    GdrCapModelStatus m_status;
    std::vector<float> m_vertices; // 9 per triangle
    std::vector<float> m_normals;  // 3 per triangle
    std::vector<POINT> m_points;   // 3 per triangle, this frame
    std::vector<float> m_depth;    // per triangle, this frame
    std::vector<float> m_shade;    // per triangle, this frame
    std::vector<int> m_order;      // far to near, this frame
    float m_pose[6];               // translation in model units, rotation in degrees
    float m_extent[4];             // left, right, bottom, top of the cap at rest, view units
    bool m_wireframe;
};

} // namespace glo_ui
