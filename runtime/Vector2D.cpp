#include "GloVector2D.h"

#include <cmath>

CVector2D::CVector2D() : m_length(0.0), m_y(0.0), m_x(0.0) {}

CVector2D::CVector2D(double x, double y) : m_length(0.0), m_y(y), m_x(x) {
    calcLen();
}

CVector2D::CVector2D(const CVector2D& other)
    : m_length(other.m_length), m_y(other.m_y), m_x(other.m_x) {}

CVector2D& CVector2D::operator=(const CVector2D& other) {
    m_length = other.m_length;
    m_y = other.m_y;
    m_x = other.m_x;
    return *this;
}

CVector2D::~CVector2D() {}

void CVector2D::set(double x, double y) {
    m_x = x;
    m_y = y;
    calcLen();
}

double CVector2D::calcLen() {
    m_length = std::sqrt(m_y * m_y + m_x * m_x);
    return m_length;
}

double CVector2D::setLen(double length) {
    // Scaling a zero vector would make both coordinates NaN.
    if (m_length == 0.0)
        return m_length;
    const double factor = length / m_length;
    m_x *= factor;
    m_y *= factor;
    return calcLen();
}

void CVector2D::scaleLen(double factor) {
    m_x *= factor;
    m_y *= factor;
    calcLen();
}

CVector2D CVector2D::operator+(CVector2D& other) const {
    return CVector2D(m_x + other.m_x, m_y + other.m_y);
}

CVector2D CVector2D::operator-(CVector2D& other) const {
    return CVector2D(m_x - other.m_x, m_y - other.m_y);
}

CVector2D& CVector2D::operator+=(CVector2D& other) {
    m_x += other.m_x;
    m_y += other.m_y;
    calcLen();
    return *this;
}

CVector2D& CVector2D::operator-=(CVector2D& other) {
    m_x -= other.m_x;
    m_y -= other.m_y;
    calcLen();
    return *this;
}
