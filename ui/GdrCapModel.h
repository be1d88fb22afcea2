// The 3-D model of the device cap shown by the configuration dialog: read from an STL file
// (binary or ASCII) that is never trusted, or a plain puck made in code.
#pragma once

#include "GloExport.h"

#include <cstddef>
#include <vector>

// Why a model file was not taken; Loaded when it was.
enum GdrCapModelStatus : int {
    GdrCapModelLoaded = 0,
    GdrCapModelNotFound,   // no such file
    GdrCapModelUnreadable, // it exists but cannot be read
    GdrCapModelTooLarge,   // file or triangle count beyond the limits
    GdrCapModelTruncated,  // ends before the triangles it announces
    GdrCapModelBadNumber,  // a coordinate that is not a finite number
    GdrCapModelGarbage,    // an ASCII line that belongs to no STL file
    GdrCapModelEmpty       // no triangle at all
};

struct GdrTriangle {
    float v[3][3]; // three corners, x y z each
};

class GLO_API CGdrCapModel {
public:
    // Limits that keep memory and drawing time bounded whatever the file says.
    static const unsigned long long kMaxFileBytes = 64ull << 20;
    static const std::size_t kMaxTriangles = 200000;

    CGdrCapModel();
    ~CGdrCapModel();

    // Replaces the model by the file's triangles, read in small pieces; on any failure the model
    // is empty and the status says why (garbageLine() names the offending ASCII line).
    GdrCapModelStatus load(const wchar_t* path);
    // A plain rounded puck standing on the x-y plane, radius 1.
    void makePuck();

    int triangleCount() const { return static_cast<int>(m_triangles.size()); }
    const GdrTriangle& triangle(int i) const { return m_triangles[static_cast<std::size_t>(i)]; }
    int garbageLine() const { return m_garbageLine; }

private:
    friend class CGdrStlReader;

    std::vector<GdrTriangle> m_triangles;
    int m_garbageLine;
};
