#pragma once
// OpenGL view of a grid of values between 0 and 1: a coloured surface in the unit
// cube with three axes and grid lines on the back planes, turned with the mouse
// (left button: about X and Y, right button: about X and Z). Fixed-function
// OpenGL 1.x in immediate mode; GUI thread only.

#include <QMatrix4x4>
#include <QOpenGLWidget>
#include <QPoint>
#include <QRect>

class SurfacePlot;

class Graph3D : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit Graph3D(QWidget *parent = nullptr);

    // Hands nx * ny values (value (a, b) at b * nx + a) to the surface. Does not
    // repaint: the caller asks for that with update().
    void setData(const float *values, int nx, int ny);

    // Angles in 1/16 degree, kept within 0 .. 5760; a change repaints.
    void setXRotation(int angle);
    void setYRotation(int angle);
    void setZRotation(int angle);
    int xRotation() const { return m_xRot; }
    int yRotation() const { return m_yRot; }
    int zRotation() const { return m_zRot; }

    const SurfacePlot *surface() const { return m_surface; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The largest square centred in a w x h area: the picture keeps its aspect.
    static QRect squareViewport(int w, int h);
    // An angle brought into 0 .. 5760 (both ends possible).
    static int normalizedAngle(int angle);

    // The matrices the picture is drawn with: the unit box turns about its centre,
    // and the square projection holds it whole at any rotation.
    static QMatrix4x4 projection();
    QMatrix4x4 modelView() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void drawAxes() const;

    int m_xRot = 4690;
    int m_yRot = 21;
    int m_zRot = 3744;
    QPoint m_lastPos{0, 0};
    SurfacePlot *m_surface = nullptr;   // child QObject
    int m_gridX = 5;
    int m_gridY = 5;
    int m_gridZ = 5;
};
