// The computations behind the 3-D view and the 3-D scan that need no OpenGL: the
// surface's quads and colours, the angle and viewport rules, the normalisation of
// the scan grid and the export header.

#include <QHostInfo>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Graph3D.h"
#include "SurfacePlot.h"
#include "WindowRocking3D.h"

namespace {

struct Rgb {
    float r, g, b;
};

Rgb colourOf(float c)
{
    Rgb rgb{-1, -1, -1};
    SurfacePlot::valueToColor(c, rgb.r, rgb.g, rgb.b);
    return rgb;
}

void expectColour(float c, float r, float g, float b)
{
    const Rgb rgb = colourOf(c);
    EXPECT_FLOAT_EQ(rgb.r, r) << "c = " << c;
    EXPECT_FLOAT_EQ(rgb.g, g) << "c = " << c;
    EXPECT_FLOAT_EQ(rgb.b, b) << "c = " << c;
}

} // namespace

TEST(SurfaceColour, FourBandsFromBlueToRed)
{
    expectColour(-3.0f, 0, 0, 1);
    expectColour(0.0f, 0, 0, 1);
    expectColour(0.0009f, 0, 0, 1);
    expectColour(0.125f, 0, 0.5f, 1);
    expectColour(0.25f, 0, 1, 1);     // cyan
    expectColour(0.375f, 0, 1, 0.5f);
    expectColour(0.5f, 0, 1, 0);      // green
    expectColour(0.625f, 0.5f, 1, 0);
    expectColour(0.75f, 1, 1, 0);     // yellow
    expectColour(0.875f, 1, 0.5f, 0);
    expectColour(1.0f, 1, 0, 0);      // red
    expectColour(42.0f, 1, 0, 0);
    expectColour(std::numeric_limits<float>::quiet_NaN(), 1, 0, 0);
    expectColour(std::numeric_limits<float>::infinity(), 1, 0, 0);
}

TEST(SurfaceColour, BlueBandEndsAtOneThousandth)
{
    const Rgb at = colourOf(0.001f);
    EXPECT_FLOAT_EQ(at.g, 4.0f * 0.001f);
    EXPECT_FLOAT_EQ(at.b, 1.0f);
    const Rgb below = colourOf(std::nextafter(0.001f, 0.0f));
    EXPECT_EQ(below.g, 0.0f);
}

TEST(SurfacePlot, OneQuadPerCellWithTheFastIndexAlongX)
{
    // 3 x 2 grid, value (a, b) at b * 3 + a.
    const float grid[6] = {0.0f, 0.1f, 0.2f,    // b = 0
                           0.3f, 0.4f, 0.5f};   // b = 1
    SurfacePlot plot;
    plot.setData(grid, 3, 2);
    ASSERT_EQ(plot.quads().size(), 2);

    // Cell (1, 0): corners (1,0) (2,0) (2,1) (1,1) at x = a / 2, y = b / 1.
    const SurfaceQuad &q = plot.quads()[1];
    const float expected[4][3] = {{0.5f, 0, 0.1f}, {1.0f, 0, 0.2f}, {1.0f, 1, 0.5f}, {0.5f, 1, 0.4f}};
    for (int corner = 0; corner < 4; ++corner)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_FLOAT_EQ(q.vertex(corner, axis), expected[corner][axis]) << corner << "," << axis;

    // Colour: corner mean over the range (0.5 - 0) = 0.3 / 0.5 = 0.6.
    EXPECT_FLOAT_EQ(q.red(), static_cast<float>(4.0 * (0.6f - 0.5)));
    EXPECT_FLOAT_EQ(q.green(), 1.0f);
    EXPECT_FLOAT_EQ(q.blue(), 0.0f);
}

TEST(SurfacePlot, ColoursScaleByTheRangeWithoutSubtractingTheMinimum)
{
    // Minimum -1, maximum 1: range 2. Cell mean 0.5 gives c = 0.25, cyan.
    const float grid[4] = {-1.0f, 1.0f, 1.0f, 1.0f};
    SurfacePlot plot;
    plot.setData(grid, 2, 2);
    ASSERT_EQ(plot.quads().size(), 1);
    EXPECT_FLOAT_EQ(plot.quads()[0].red(), 0.0f);
    EXPECT_FLOAT_EQ(plot.quads()[0].green(), 1.0f);
    EXPECT_FLOAT_EQ(plot.quads()[0].blue(), 1.0f);

    // A cell whose mean equals the range (minimum 0) is red.
    const float peak[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    plot.setData(peak, 2, 2);
    EXPECT_FLOAT_EQ(plot.quads()[0].red(), 1.0f);
    EXPECT_FLOAT_EQ(plot.quads()[0].green(), 0.0f);
}

TEST(SurfacePlot, AllZeroGridIsAFlatBlueSurface)
{
    std::vector<float> grid(64 * 64, 0.0f);
    SurfacePlot plot;
    plot.setData(grid.data(), 64, 64);
    ASSERT_EQ(plot.quads().size(), 63 * 63);
    for (const SurfaceQuad &q : plot.quads()) {
        for (int corner = 0; corner < 4; ++corner)
            ASSERT_FLOAT_EQ(q.vertex(corner, 2), 0.0f);
        ASSERT_FLOAT_EQ(q.red(), 0.0f);
        ASSERT_FLOAT_EQ(q.green(), 0.0f);
        ASSERT_FLOAT_EQ(q.blue(), 1.0f);
    }
    // The far corner of the last quad sits at (1, 1).
    const SurfaceQuad &last = plot.quads().last();
    EXPECT_FLOAT_EQ(last.vertex(2, 0), 1.0f);
    EXPECT_FLOAT_EQ(last.vertex(2, 1), 1.0f);
}

TEST(SurfacePlot, NarrowOrMissingGridClearsTheSurface)
{
    const float grid[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    SurfacePlot plot;
    plot.setData(grid, 2, 2);
    ASSERT_EQ(plot.quads().size(), 1);
    plot.setData(grid, 1, 4);
    EXPECT_TRUE(plot.quads().isEmpty());
    plot.setData(grid, 2, 2);
    plot.setData(grid, 4, 1);
    EXPECT_TRUE(plot.quads().isEmpty());
    plot.setData(grid, 2, 2);
    plot.setData(nullptr, 2, 2);
    EXPECT_TRUE(plot.quads().isEmpty());
    // Two negative counts multiply to a positive size: still nothing is read.
    plot.setData(grid, -2, -2);
    EXPECT_TRUE(plot.quads().isEmpty());
}

TEST(Graph3DRules, AnglesWrapIntoOneTurnWithBothEnds)
{
    EXPECT_EQ(Graph3D::normalizedAngle(-16), 5744);
    EXPECT_EQ(Graph3D::normalizedAngle(5776), 16);
    EXPECT_EQ(Graph3D::normalizedAngle(5760), 5760);
    EXPECT_EQ(Graph3D::normalizedAngle(0), 0);
    EXPECT_EQ(Graph3D::normalizedAngle(-5760), 0);
    EXPECT_EQ(Graph3D::normalizedAngle(3 * 5760 + 5), 5);
    EXPECT_EQ(Graph3D::normalizedAngle(-2 * 5760 - 1), 5759);
}

TEST(Graph3DRules, ViewportIsTheCentredSquare)
{
    EXPECT_EQ(Graph3D::squareViewport(600, 400), QRect(100, 0, 400, 400));
    EXPECT_EQ(Graph3D::squareViewport(200, 400), QRect(0, 100, 200, 200));
    EXPECT_EQ(Graph3D::squareViewport(201, 100), QRect(50, 0, 100, 100));
    EXPECT_EQ(Graph3D::squareViewport(50, 50), QRect(0, 0, 50, 50));
}

TEST(ScanGrid, NormalisesByMinimumAndMaximum)
{
    // After the first point: the measured value is 1, every unmeasured zero 0.
    std::vector<float> raw(64 * 64, 0.0f);
    std::vector<float> norm(raw.size(), -1.0f);
    raw[0] = 3.2e-6f;
    WindowRocking3D::normalise(raw.data(), norm.data(), static_cast<int>(raw.size()));
    EXPECT_FLOAT_EQ(norm[0], 1.0f);
    for (std::size_t k = 1; k < norm.size(); ++k)
        ASSERT_FLOAT_EQ(norm[k], 0.0f) << k;

    const float mixed[3] = {-2.0f, 0.0f, 2.0f};
    float out[3];
    WindowRocking3D::normalise(mixed, out, 3);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    EXPECT_FLOAT_EQ(out[2], 1.0f);
}

TEST(ScanGrid, EqualValuesGiveAFlatZeroSurfaceNotNaN)
{
    std::vector<float> raw(64 * 64, 0.0f);
    std::vector<float> norm(raw.size(), -1.0f);
    WindowRocking3D::normalise(raw.data(), norm.data(), static_cast<int>(raw.size()));
    for (float v : norm)
        ASSERT_EQ(v, 0.0f);

    std::fill(raw.begin(), raw.end(), 2.5e-6f);
    WindowRocking3D::normalise(raw.data(), norm.data(), static_cast<int>(raw.size()));
    for (float v : norm)
        ASSERT_EQ(v, 0.0f);
}

TEST(ScanExport, HeaderHasFiveLinesEndingInCrLf)
{
    const QString header = WindowRocking3D::csvHeader();
    ASSERT_TRUE(header.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(header.count(QStringLiteral("\r\n")), 5);
    EXPECT_EQ(header.count(QLatin1Char('\n')), 5);
    const QStringList lines = header.chopped(2).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("Pardune Instruments NIVRA"));
    EXPECT_EQ(lines[1], QStringLiteral("Marvolent"));
    EXPECT_EQ(lines[2], QString());
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^Time and Date: \d\d:\d\d:\d\d \d\d\.\d\d\.\d{4}$)"))
                    .match(lines[3])
                    .hasMatch())
        << lines[3].toStdString();
    EXPECT_EQ(lines[4], QStringLiteral("Host Name: ") + QHostInfo::localHostName());
}
