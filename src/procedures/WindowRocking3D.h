#pragma once
// 3-D rocking scan: steps DAC outputs 1 (X) and 2 (Y) over a 64 x 64 raster with
// the outputs taken from the feedback, averages ten readings of the summed BPM1
// electrode currents at every point, and shows the grid normalised to 0 .. 1 as a
// surface that grows point by point. The raw grid is exported to CSV.
//
// The scan is a blocking loop on the GUI thread: it sleeps between steps and lets
// events in once per point, which is how Stop, Close and the repaints get through.

#include <QDialog>
#include <QString>

#include <cstdint>

class QTextStream;

namespace Ui {
class WindowRocking3D;
}

class WindowRocking3D : public QDialog
{
    Q_OBJECT

public:
    static constexpr int GridSize = 64;

    explicit WindowRocking3D(QWidget *parent = nullptr);
    ~WindowRocking3D() override;

    // The export's header block, five lines each ending in CR LF.
    static QString csvHeader();

    // Maps n raw values to 0 .. 1 by their minimum and maximum. When all values
    // are equal the result is all zeros (a flat surface) rather than 0/0; values
    // that are not a number map to 0 and take no part in the scale.
    static void normalise(const float *raw, float *normalised, int n);

    // Raster coordinate of step k (0 .. GridSize - 1): both ends of the range included.
    static double rasterValue(double minimum, double range, int k);

    bool isScanning() const { return m_scanning; }

    // The pauses of the scan go through this function (QThread::usleep unless a test
    // replaces it, e.g. with one that moves the simulator's clock). Null restores it.
    using SleepFunction = void (*)(unsigned long microseconds);
    static void setSleepFunctionForTesting(SleepFunction sleep);

public slots:
    void startMeasurement();
    void measure();
    void stopMeasurement();
    void saveData();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    // The raster scan; false when it was refused because a node did not open.
    bool scan();
    void clearGrids();
    void showGrid();
    void writeCsv(QTextStream &out, double xMin, double xRange, double yMin, double yRange) const;

    Ui::WindowRocking3D *ui;

    // Row i is the X step, column j the Y step; amperes, 0 where not measured (the
    // surface's floor), not a number where the current meter gave no reading.
    float m_raw[GridSize][GridSize];
    float m_normalised[GridSize][GridSize];
    // Points reached so far, in scan order (i * GridSize + j); the export writes the
    // rest as not a number.
    int m_measured = 0;

    // Latched by the last Start.
    struct ScanParameters {
        bool latched = false;
        double xMin = 0.0;
        double xRange = 0.0;
        double yMin = 0.0;
        double yRange = 0.0;
        std::uint64_t stepTime = 0;   // ms
    };
    ScanParameters m_params;

    bool m_stop = false;
    bool m_scanning = false;
};
