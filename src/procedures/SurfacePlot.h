#pragma once
// The coloured surface of the 3-D view: one quadrilateral per grid cell, rebuilt
// from the whole grid on every setData and drawn in immediate mode.

#include <QObject>
#include <QVector>

#include "SurfaceQuad.h"

class SurfacePlot : public QObject
{
    Q_OBJECT

public:
    explicit SurfacePlot(QObject *parent = nullptr);

    // Rebuilds the quads from nx * ny values, value (a, b) at index b * nx + a
    // (a runs fastest). The values are read during the call and not kept. A grid
    // narrower than 2 in either direction leaves no quads.
    void setData(const float *values, int nx, int ny);

    // glBegin(GL_QUADS), every quad in building order, glEnd.
    void draw() const;

    const QVector<SurfaceQuad> &quads() const { return m_quads; }

    // Colour map of a cell value c, scaled so that 1 is the top: blue, cyan, green,
    // yellow, red in four bands; 1 and above (and NaN) are red.
    static void valueToColor(float c, float &red, float &green, float &blue);

private:
    QVector<SurfaceQuad> m_quads;
};
