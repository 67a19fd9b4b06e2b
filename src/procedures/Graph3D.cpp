#include "Graph3D.h"

#include <QMouseEvent>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <algorithm>

#include "SurfacePlot.h"

namespace {

constexpr int kFullTurn = 360 * 16;

} // namespace

Graph3D::Graph3D(QWidget *parent) : QOpenGLWidget(parent)
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setSamples(4);
    setFormat(format);
    m_surface = new SurfacePlot(this);
}

void Graph3D::setData(const float *values, int nx, int ny)
{
    m_surface->setData(values, nx, ny);
}

int Graph3D::normalizedAngle(int angle)
{
    while (angle < 0)
        angle += kFullTurn;
    while (angle > kFullTurn)
        angle -= kFullTurn;
    return angle;
}

void Graph3D::setXRotation(int angle)
{
    angle = normalizedAngle(angle);
    if (angle != m_xRot) {
        m_xRot = angle;
        update();
    }
}

void Graph3D::setYRotation(int angle)
{
    angle = normalizedAngle(angle);
    if (angle != m_yRot) {
        m_yRot = angle;
        update();
    }
}

void Graph3D::setZRotation(int angle)
{
    angle = normalizedAngle(angle);
    if (angle != m_zRot) {
        m_zRot = angle;
        update();
    }
}

QSize Graph3D::sizeHint() const
{
    return QSize(600, 400);
}

QSize Graph3D::minimumSizeHint() const
{
    return QSize(50, 50);
}

QRect Graph3D::squareViewport(int w, int h)
{
    const int side = std::min(w, h);
    return QRect((w - side) / 2, (h - side) / 2, side, side);
}

QMatrix4x4 Graph3D::projection()
{
    // Turned about its centre, the unit box stays within a sphere of radius
    // sqrt(3) / 2 = 0.866; a little more leaves room for the width of its lines.
    constexpr float kHalfSide = 0.9f;
    QMatrix4x4 m;
    m.ortho(-kHalfSide, kHalfSide, -kHalfSide, kHalfSide, 4.0f, 15.0f);
    return m;
}

QMatrix4x4 Graph3D::modelView() const
{
    QMatrix4x4 m;
    m.translate(0.0f, 0.0f, -10.0f);
    m.rotate(static_cast<float>(m_xRot) / 16.0f, 1.0f, 0.0f, 0.0f);
    m.rotate(static_cast<float>(m_yRot) / 16.0f, 0.0f, 1.0f, 0.0f);
    m.rotate(static_cast<float>(m_zRot) / 16.0f, 0.0f, 0.0f, 1.0f);
    m.translate(-0.5f, -0.5f, -0.5f);
    return m;
}

void Graph3D::mousePressEvent(QMouseEvent *event)
{
    m_lastPos = event->position().toPoint();
}

void Graph3D::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    const int dx = qRound(pos.x() - m_lastPos.x());
    const int dy = qRound(pos.y() - m_lastPos.y());
    // One pixel turns by half a degree; the left button wins when both are held.
    if (event->buttons() & Qt::LeftButton) {
        setXRotation(m_xRot + 8 * dy);
        setYRotation(m_yRot + 8 * dx);
    } else if (event->buttons() & Qt::RightButton) {
        setXRotation(m_xRot + 8 * dy);
        setZRotation(m_zRot + 8 * dx);
    }
    m_lastPos = pos.toPoint();
}

void Graph3D::initializeGL()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void Graph3D::resizeGL(int w, int h)
{
    const QRect view = squareViewport(w, h);
    glViewport(view.x(), view.y(), view.width(), view.height());
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection().constData());
    glMatrixMode(GL_MODELVIEW);
}

void Graph3D::paintGL()
{
    // QOpenGLWidget resets the viewport to the whole widget before every paintGL,
    // which would stretch the picture: set the centred square again.
    const qreal ratio = devicePixelRatioF();
    const QRect view = squareViewport(qRound(width() * ratio), qRound(height() * ratio));
    glViewport(view.x(), view.y(), view.width(), view.height());

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadMatrixf(modelView().constData());
    m_surface->draw();
    drawAxes();
}

void Graph3D::drawAxes() const
{
    glColor3f(0.3f, 0.3f, 0.3f);

    glLineWidth(1.5f);
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 1.0f);
    glEnd();

    // Six lines per family on each of the planes x = 0, y = 0 and z = 0.
    glLineWidth(0.5f);
    glBegin(GL_LINES);
    for (int k = 0; k <= m_gridZ; ++k) {
        const float t = static_cast<float>(k) / static_cast<float>(m_gridZ);
        glVertex3f(0.0f, 0.0f, t);
        glVertex3f(1.0f, 0.0f, t);
        glVertex3f(0.0f, 0.0f, t);
        glVertex3f(0.0f, 1.0f, t);
    }
    for (int k = 0; k <= m_gridX; ++k) {
        const float t = static_cast<float>(k) / static_cast<float>(m_gridX);
        glVertex3f(t, 0.0f, 0.0f);
        glVertex3f(t, 0.0f, 1.0f);
        glVertex3f(t, 0.0f, 0.0f);
        glVertex3f(t, 1.0f, 0.0f);
    }
    for (int k = 0; k <= m_gridY; ++k) {
        const float t = static_cast<float>(k) / static_cast<float>(m_gridY);
        glVertex3f(0.0f, t, 0.0f);
        glVertex3f(0.0f, t, 1.0f);
        glVertex3f(0.0f, t, 0.0f);
        glVertex3f(1.0f, t, 0.0f);
    }
    glEnd();
}
