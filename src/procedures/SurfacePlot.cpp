#include "SurfacePlot.h"

#include <GL/gl.h>

SurfacePlot::SurfacePlot(QObject *parent) : QObject(parent) {}

void SurfacePlot::setData(const float *values, int nx, int ny)
{
    m_quads.clear();

    // The colour scale runs from 0 to the grid's maximum; the minimum only matters
    // through the range, and the floor of 0.0001 keeps an all-zero grid finite.
    float maximum = 0.0001f;
    float minimum = 0.0f;
    if (!values || nx <= 0 || ny <= 0)
        return;
    const int n = nx * ny;
    for (int k = 0; k < n; ++k) {
        if (values[k] > maximum)
            maximum = values[k];
        if (values[k] < minimum)
            minimum = values[k];
    }
    if (nx < 2 || ny < 2)
        return;

    const float range = maximum - minimum;
    const float dx = 1.0f / static_cast<float>(nx - 1);
    const float dy = 1.0f / static_cast<float>(ny - 1);
    auto v = [&](int a, int b) { return values[b * nx + a]; };

    m_quads.reserve((nx - 1) * (ny - 1));
    for (int a = 0; a < nx - 1; ++a) {
        for (int b = 0; b < ny - 1; ++b) {
            const float c = (v(a, b) + v(a + 1, b) + v(a + 1, b + 1) + v(a, b + 1)) * 0.25f / range;
            float red = 0.0f;
            float green = 0.0f;
            float blue = 0.0f;
            valueToColor(c, red, green, blue);
            const float x0 = static_cast<float>(a) * dx;
            const float x1 = static_cast<float>(a + 1) * dx;
            const float y0 = static_cast<float>(b) * dy;
            const float y1 = static_cast<float>(b + 1) * dy;
            m_quads.append(SurfaceQuad(x0, y0, v(a, b), x1, y0, v(a + 1, b), x1, y1, v(a + 1, b + 1),
                                       x0, y1, v(a, b + 1), red, green, blue));
        }
    }
}

void SurfacePlot::draw() const
{
    glBegin(GL_QUADS);
    for (const SurfaceQuad &quad : m_quads)
        quad.draw();
    glEnd();
}

void SurfacePlot::valueToColor(float c, float &red, float &green, float &blue)
{
    const double cd = c;
    if (cd < 0.001) {
        red = 0.0f;
        green = 0.0f;
        blue = 1.0f;
    } else if (c < 0.25f) {
        red = 0.0f;
        green = 4.0f * c;
        blue = 1.0f;
    } else if (c < 0.5f) {
        red = 0.0f;
        green = 1.0f;
        blue = static_cast<float>(1.0 - 4.0 * (cd - 0.25));
    } else if (c < 0.75f) {
        red = static_cast<float>(4.0 * (cd - 0.5));
        green = 1.0f;
        blue = 0.0f;
    } else if (c < 1.0f) {
        red = 1.0f;
        green = static_cast<float>(1.0 - 4.0 * (cd - 0.75));
        blue = 0.0f;
    } else {
        // 1 and above, and anything that compares false with every bound (NaN).
        red = 1.0f;
        green = 0.0f;
        blue = 0.0f;
    }
}
