#include "SurfaceQuad.h"

#include <QColor>

#include <GL/gl.h>

SurfaceQuad::SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1,
                         float x2, float y2, float z2, float x3, float y3, float z3)
    : m_values{x0, y0, z0, x1, y1, z1, x2, y2, z2, x3, y3, z3, 0.0f, 0.0f, 0.0f}
{
}

SurfaceQuad::SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1,
                         float x2, float y2, float z2, float x3, float y3, float z3,
                         float red, float green, float blue)
    : m_values{x0, y0, z0, x1, y1, z1, x2, y2, z2, x3, y3, z3, red, green, blue}
{
}

void SurfaceQuad::setColor(const QColor &color)
{
    m_values[12] = static_cast<float>(color.redF());
    m_values[13] = static_cast<float>(color.greenF());
    m_values[14] = static_cast<float>(color.blueF());
}

void SurfaceQuad::draw() const
{
    glColor4f(m_values[12], m_values[13], m_values[14], 1.0f);
    for (int k = 0; k < 4; ++k)
        glVertex3f(m_values[3 * k], m_values[3 * k + 1], m_values[3 * k + 2]);
}
