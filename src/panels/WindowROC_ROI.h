#pragma once
// "ROC/ROI Settings": per BPM the region of interest (half-widths in X and Y, in
// micrometres), the region of control as a percentage of the ROI, and whether the
// controller checks the ROC in X and in Y. OK or Apply, for an administrator only,
// draws the rectangles on the BPM's XY graph, sends the ROC limits and the check
// enables to the controller and writes them to the configuration store.
//
// The ROI/ROC values are reloaded from the store at every show; the check boxes are
// read from the controller once, at construction, and keep their state afterwards.

#include <QDialog>
#include <QPointer>

class QAbstractButton;
class Updater;
class WidgetGraphXY;
class WidgetRoc;
class WindowBeamlineConf;

namespace Ui {
class WindowROC_ROI;
}

class WindowROC_ROI : public QDialog
{
    Q_OBJECT

public:
    explicit WindowROC_ROI(QWidget *parent = nullptr);
    ~WindowROC_ROI() override;

    // Applies the user level, reloads the ROI/ROC values from the store and shows.
    void showWindow();
    // Fills both panes' ROI X, ROI Y and ROC percentage from the store.
    void loadSettings();

    // Each keeps a guarded reference (null again once the object is gone); a null
    // pointer leaves the reference as it was. Only the XY graphs are used.
    void setUpdater(Updater *engine);
    void setBeamlineConf(WindowBeamlineConf *window);
    // bpm 0: BPM 1's graph, any other value BPM 2's.
    void setGraphXY(WidgetGraphXY *graph, int bpm);

    // Draws, sends and stores the ROI/ROC of one BPM (0: BPM 1, any other: BPM 2).
    void sendROClimits(int bpm);
    // Sends and stores the X/Y check enables of both BPMs; the beam-off checks
    // always go out as off.
    void sendROCenable();

public slots:
    void checkUserLevel();
    // Shows the pane of each BPM whose encoder box is present and keeps the
    // acquisition-module count, which decides whether BPM 2's limits are sent.
    void nrTovashesChanged(int nrTovashes);
    // OK or Apply at level 2 sends the limits (never dropping a shown pane), then the
    // enables of both BPMs; any other button or level does nothing.
    void sendROCconf(QAbstractButton *button);

private:
    WidgetRoc *pane(int bpm) const;

    Ui::WindowROC_ROI *ui;
    QPointer<Updater> m_updater;
    QPointer<WindowBeamlineConf> m_beamlineConf;
    QPointer<WidgetGraphXY> m_graphXY[2];
    int m_nrTovashes = 1;
};
