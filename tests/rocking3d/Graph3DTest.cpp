// The 3-D view on a real display (Xvfb): the picture it draws, its square
// viewport, and the rotation by mouse.

#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Graph3D.h"
#include "SurfacePlot.h"

namespace {

class Graph3DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "OpenGL widgets need an X display: run under xvfb-run with QT_QPA_PLATFORM=xcb";
    }

    Graph3D *makeView(int w, int h)
    {
        view = std::make_unique<Graph3D>();
        view->resize(w, h);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view.get();
    }

    // Sends a mouse event at a position that need not be whole pixels.
    void mouse(QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, pos, view->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &event);
    }

    std::unique_ptr<Graph3D> view;
};

struct PixelCounts {
    int white = 0, blue = 0, red = 0, grey = 0;
};

PixelCounts countPixels(const QImage &image, QRect area)
{
    PixelCounts n;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 245 && c.green() > 245 && c.blue() > 245)
                ++n.white;
            else if (c.blue() > 200 && c.red() < 40 && c.green() < 40)
                ++n.blue;
            else if (c.red() > 200 && c.green() < 40 && c.blue() < 40)
                ++n.red;
            else if (qAbs(c.red() - 77) < 30 && qAbs(c.green() - 77) < 30 && qAbs(c.blue() - 77) < 30)
                ++n.grey;
        }
    }
    return n;
}

} // namespace

TEST_F(Graph3DTest, DrawsTheSurfaceAndAxesOnWhite)
{
    Graph3D *g = makeView(400, 400);

    std::vector<float> grid(64 * 64, 0.0f);
    g->setData(grid.data(), 64, 64);
    g->update();
    QImage flat = g->grabFramebuffer();
    PixelCounts n = countPixels(flat, flat.rect());
    EXPECT_GT(n.white, flat.width() * flat.height() / 4);
    EXPECT_GT(n.blue, 1000);
    EXPECT_EQ(n.red, 0);
    EXPECT_GT(n.grey, 100);

    // A raised plateau in the middle turns its cells red.
    for (int b = 20; b < 44; ++b)
        for (int a = 20; a < 44; ++a)
            grid[b * 64 + a] = 1.0f;
    g->setData(grid.data(), 64, 64);
    g->update();
    QImage peak = g->grabFramebuffer();
    n = countPixels(peak, peak.rect());
    EXPECT_GT(n.red, 500);
}

TEST_F(Graph3DTest, KeepsTheSquarePictureCentredInATallWindow)
{
    std::vector<float> grid(64 * 64, 0.0f);
    for (int k = 0; k < 64 * 64; k += 7)
        grid[k] = 0.8f;

    Graph3D *square = makeView(200, 200);
    square->setData(grid.data(), 64, 64);
    const QImage reference = square->grabFramebuffer();

    Graph3D *tall = makeView(200, 400);
    tall->setData(grid.data(), 64, 64);
    const QImage picture = tall->grabFramebuffer();
    ASSERT_EQ(picture.size(), QSize(200, 400) * tall->devicePixelRatio());

    // Rows 100 .. 299 hold the same picture as the square view; above and below is
    // only background (but for a pixel or two of a wide line at the edge).
    int differing = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const QColor a = reference.pixelColor(x, y);
            const QColor b = picture.pixelColor(x, y + 100);
            if (qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) > 30)
                ++differing;
        }
    EXPECT_LT(differing, 200);
    const PixelCounts top = countPixels(picture, QRect(0, 0, 200, 100));
    const PixelCounts bottom = countPixels(picture, QRect(0, 300, 200, 100));
    EXPECT_GT(top.white, 200 * 100 - 20);
    EXPECT_GT(bottom.white, 200 * 100 - 20);
}

TEST_F(Graph3DTest, TheWholeBoxStaysInsideAtAnyRotation)
{
    // Inside -1 .. 1 after projection is inside the square viewport, whatever its size.
    Graph3D *g = makeView(600, 400);
    for (int turn = 0; turn < 5760 * 3; turn += 347) {   // the default angles first
        g->setXRotation(4690 + turn);
        g->setYRotation(21 + 2 * turn);
        g->setZRotation(3744 + 3 * turn);
        for (int c = 0; c < 8; ++c) {
            const QVector3D p = (Graph3D::projection() * g->modelView()).map(QVector3D(c & 1, c >> 1 & 1, c >> 2));
            ASSERT_LT(qMax(qMax(qAbs(p.x()), qAbs(p.y())), qAbs(p.z())), 1.0f) << turn << " " << c;
        }
    }
}

TEST_F(Graph3DTest, MouseTurnsHalfADegreePerPixel)
{
    Graph3D *g = makeView(300, 300);
    EXPECT_EQ(g->xRotation(), 4690);
    EXPECT_EQ(g->yRotation(), 21);
    EXPECT_EQ(g->zRotation(), 3744);

    // Left button: vertical movement about X, horizontal about Y.
    QTest::mousePress(g, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(g, QPoint(110, 95));
    EXPECT_EQ(g->xRotation(), 4690 - 8 * 5);
    EXPECT_EQ(g->yRotation(), 21 + 8 * 10);
    EXPECT_EQ(g->zRotation(), 3744);
    QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(110, 95));

    // Right button: vertical about X, horizontal about Z.
    const int x0 = g->xRotation();
    const int y0 = g->yRotation();
    mouse(QEvent::MouseButtonPress, QPointF(50, 50), Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, QPointF(47, 54), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(g->xRotation(), x0 + 8 * 4);
    EXPECT_EQ(g->yRotation(), y0);
    EXPECT_EQ(g->zRotation(), 3744 - 8 * 3);
    mouse(QEvent::MouseButtonRelease, QPointF(47, 54), Qt::RightButton, Qt::NoButton);

    // Both held: the left button wins.
    const int z0 = g->zRotation();
    mouse(QEvent::MouseButtonPress, QPointF(10, 10), Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    mouse(QEvent::MouseMove, QPointF(12, 10), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(g->yRotation(), y0 + 16);
    EXPECT_EQ(g->zRotation(), z0);
    mouse(QEvent::MouseButtonRelease, QPointF(12, 10), Qt::LeftButton, Qt::NoButton);

    // The middle button turns nothing.
    const int x1 = g->xRotation();
    mouse(QEvent::MouseButtonPress, QPointF(10, 10), Qt::MiddleButton, Qt::MiddleButton);
    mouse(QEvent::MouseMove, QPointF(30, 30), Qt::NoButton, Qt::MiddleButton);
    EXPECT_EQ(g->xRotation(), x1);
    EXPECT_EQ(g->yRotation(), y0 + 16);
    EXPECT_EQ(g->zRotation(), z0);
}

TEST_F(Graph3DTest, MousePositionsRoundHalvesAwayFromZero)
{
    Graph3D *g = makeView(300, 300);
    // Press at (10.5, 10.5) is taken as (11, 11); moving to (12.4, 9.5) gives dx =
    // round(1.4) = 1 and dy = round(-1.5) = -2.
    mouse(QEvent::MouseButtonPress, QPointF(10.5, 10.5), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPointF(12.4, 9.5), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g->xRotation(), 4690 - 16);
    EXPECT_EQ(g->yRotation(), 21 + 8);

    // The last position is now (12, 10). Moving to (2.4, 9.5): dx = round(-9.6) = -10,
    // dy = round(-0.5) = -1; Y turns past zero and wraps: 29 - 80 = -51 is 5709.
    mouse(QEvent::MouseMove, QPointF(2.4, 9.5), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g->xRotation(), 4690 - 16 - 8);
    EXPECT_EQ(g->yRotation(), 5709);
}
