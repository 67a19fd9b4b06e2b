#pragma once
// One cell of the surface view: four corners in drawing order and one flat colour,
// sent to OpenGL in immediate mode between the surface's glBegin(GL_QUADS) and glEnd.

class QColor;

class SurfaceQuad
{
public:
    // Corners (x, y, z each) in drawing order; the colour starts black.
    SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1,
                float x2, float y2, float z2, float x3, float y3, float z3);
    SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1,
                float x2, float y2, float z2, float x3, float y3, float z3,
                float red, float green, float blue);

    void setColor(const QColor &color);

    // Colour (alpha 1), then the four corners. Call inside glBegin(GL_QUADS).
    void draw() const;

    // Coordinate `axis` (0 x, 1 y, 2 z) of corner `corner` (0..3).
    float vertex(int corner, int axis) const { return m_values[3 * corner + axis]; }
    float red() const { return m_values[12]; }
    float green() const { return m_values[13]; }
    float blue() const { return m_values[14]; }

private:
    float m_values[15];   // x0 y0 z0 .. x3 y3 z3, red green blue
};
