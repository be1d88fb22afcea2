// Two-dimensional vector of doubles with a cached length.
#pragma once

#include "GloExport.h"

// Every operation that changes the coordinates recomputes the length.
class GLO_API CVector2D {
public:
    CVector2D();
    CVector2D(double x, double y);
    CVector2D(const CVector2D& other);
    CVector2D& operator=(const CVector2D& other);
    virtual ~CVector2D();

    void set(double x, double y);
    double getX() const { return m_x; }
    double getY() const { return m_y; }
    double getLen() const { return m_length; }

    // Rescales to the given length keeping the direction; returns the new
    // length. A zero vector has no direction: it stays zero and 0 is returned.
    double setLen(double length);
    void scaleLen(double factor);

    CVector2D operator+(CVector2D& other) const;
    CVector2D operator-(CVector2D& other) const;
    CVector2D& operator+=(CVector2D& other);
    CVector2D& operator-=(CVector2D& other);

private:
    double calcLen();

    double m_length;
    double m_y;
    double m_x;
};
