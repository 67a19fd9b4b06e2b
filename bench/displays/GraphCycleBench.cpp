// One whole acquisition cycle with every live graph redrawn, on the offscreen
// platform in a 1920 x 1080 window laid out as the main window shows them: the two
// XY graphs side by side on top, the spectrum and the seven time graphs tabbed
// below, each tab visited once so that every plot has its full size (hidden tabs
// still draw into their buffers every cycle). Each graph's
// replot slot runs from the engine's replotGraphs, as in the program; the plots
// refresh immediately so that the painting is part of the measured cycle.
//
// Runs at the largest display buffer (14336 records) and at 1024 records, with
// both BPMs present and FFT length 8192. Stages are measured apart too: the engine
// cycle alone (refill and spectra, no graph connected) and the redraw alone.
// "Grid" shows all ten graphs at once (3 x 4 cells), the worst case for painting.

#include <QApplication>
#include <QGridLayout>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "GraphDataKind.h"
#include "MailboxComm.h"
#include "NivraSim.h"
#include "Updater.h"
#include "WidgetGraphCurrents.h"
#include "WidgetGraphFFT.h"
#include "WidgetGraphPos.h"
#include "WidgetGraphRad.h"
#include "WidgetGraphXY.h"

namespace {

struct Rig {
    QTemporaryDir dir;
    ConfigIni store;
    std::unique_ptr<MailboxComm> mailbox;
    std::unique_ptr<Updater> engine;
    std::unique_ptr<QWidget> window;
    std::vector<QWidget *> graphs;   // in the engine's replot order
    std::vector<QCustomPlot *> plots;

    Rig(int records, bool grid)
    {
        nivraSimReset(7);
        nivraSimUseManualClock(1);
        nivraSimAdvance(60.0);
        nivraSimSetMeterPresent(0, 1);
        nivraSimSetMeterPresent(1, 1);
        SAMP_FREQ = 1000;
        DISP_BUF_SIZE = records * 256;
        ConfigIni::setFilePathForTesting(dir.filePath(QStringLiteral("config.ini")));
        store.writeConfigROCandROI(0, 100, 100, 0, 0, 80);
        store.writeConfigROCandROI(1, 100, 100, 0, 0, 80);
        configIni = &store;
        mailbox = std::make_unique<MailboxComm>();
        mailboxComm = mailbox.get();
        engine = std::make_unique<Updater>();
        updater = engine.get();

        window = std::make_unique<QWidget>();
        auto *xy1 = new WidgetGraphXY(0, window.get());
        auto *xy2 = new WidgetGraphXY(1, window.get());
        auto *fft = new WidgetGraphFFT(window.get(), 2);
        auto *enc1 = new WidgetGraphCurrents(window.get(), 2);
        auto *enc2 = new WidgetGraphCurrents(window.get(), 2);
        auto *dac = new WidgetGraphCurrents(window.get(), 4);
        auto *posX = new WidgetGraphPos(window.get(), 0, 2);
        auto *posY = new WidgetGraphPos(window.get(), 1, 2);
        auto *radX = new WidgetGraphRad(window.get(), 0, 2);
        auto *radY = new WidgetGraphRad(window.get(), 1, 2);
        graphs = {xy1, xy2, fft, enc1, enc2, dac, posX, posY, radX, radY};

        engine->setGraphData(GraphXYBpm1, 0, xy1->graphData());
        engine->setGraphData(GraphXYBpm2, 0, xy2->graphData());
        for (int i = 0; i < 2; ++i) {
            engine->setGraphData(GraphSpectrum, i, fft->graphData(i));
            engine->setGraphData(GraphEncoderBpm1, i, enc1->graphData(i));
            engine->setGraphData(GraphEncoderBpm2, i, enc2->graphData(i));
            engine->setGraphData(GraphPositionX, i, posX->graphData(i));
            engine->setGraphData(GraphPositionY, i, posY->graphData(i));
            engine->setGraphData(GraphAngleX, i, radX->graphData(i));
            engine->setGraphData(GraphAngleY, i, radY->graphData(i));
        }
        for (int i = 0; i < 4; ++i)
            engine->setGraphData(GraphDacOutput, i, dac->graphData(i));
        for (auto *enc : {enc1, enc2}) {
            enc->setValueAxisFormat(QStringLiteral("f"), 0);
            enc->setChannelTexts(QStringLiteral("Enc 1"), QStringLiteral("Enc 2"), QString(),
                                 QString());
            enc->setChannelsHidden(false, false, true, true);
        }

        if (grid) {
            auto *layout = new QGridLayout(window.get());
            for (int i = 0; i < int(graphs.size()); ++i)
                layout->addWidget(graphs[i], i / 3, i % 3);
        } else {
            auto *layout = new QVBoxLayout(window.get());
            auto *top = new QHBoxLayout;
            top->addWidget(xy1);
            top->addWidget(xy2);
            layout->addLayout(top, 1);
            auto *tabs = new QTabWidget(window.get());
            const char *titles[] = {"Graph FFT", "Graph Encoder Counts BPM1",
                                    "Graph Encoder Counts BPM2", "Graph DAC", "Graph Position X",
                                    "Graph Position Y", "Graph Angle X", "Graph Angle Y"};
            for (int i = 2; i < int(graphs.size()); ++i)
                tabs->addTab(graphs[i], QString::fromLatin1(titles[i - 2]));
            layout->addWidget(tabs, 1);
            window->resize(1920, 1080);
            window->show();
            // A plot takes its size when first shown; the operator has looked at each tab.
            for (int i = tabs->count() - 1; i >= 0; --i) {
                tabs->setCurrentIndex(i);
                QCoreApplication::processEvents();
            }
        }
        window->resize(1920, 1080);
        window->show();
        QCoreApplication::processEvents();

        for (QWidget *g : graphs) {
            auto *plot = g->findChild<QCustomPlot *>(QStringLiteral("graph"));
            // Paint within the slot, so that the cycle includes it.
            plot->setPlottingHint(QCP::phImmediateRefresh, true);
            plots.push_back(plot);
        }
    }

    void connectGraphs()
    {
        for (QWidget *g : graphs)
            QObject::connect(engine.get(), SIGNAL(replotGraphs()), g, SLOT(replot()));
    }

    void replotAll()
    {
        for (QWidget *g : graphs)
            QMetaObject::invokeMethod(g, "replot", Qt::DirectConnection);
    }

    ~Rig()
    {
        window.reset();
        updater = nullptr;
        mailboxComm = nullptr;
        configIni = nullptr;
        engine.reset();
        mailbox.reset();
        ConfigIni::setFilePathForTesting(QString());
    }
};

void BM_CycleWithRedraw(benchmark::State &state)
{
    Rig rig(int(state.range(0)), state.range(1) != 0);
    rig.connectGraphs();
    rig.engine->updateGraphs();   // first cycle sizes every buffer
    for (auto _ : state)
        rig.engine->updateGraphs();
    state.counters["records"] = double(state.range(0));
}

void BM_EngineOnly(benchmark::State &state)
{
    Rig rig(int(state.range(0)), false);
    rig.engine->updateGraphs();
    for (auto _ : state)
        rig.engine->updateGraphs();
}

void BM_RedrawOnly(benchmark::State &state)
{
    Rig rig(int(state.range(0)), state.range(1) != 0);
    rig.engine->updateGraphs();
    rig.replotAll();
    for (auto _ : state)
        rig.replotAll();
}

// One graph kind on its own: index into the replot order above.
void BM_RedrawOneGraph(benchmark::State &state)
{
    Rig rig(14336, false);
    rig.engine->updateGraphs();
    QWidget *g = rig.graphs[std::size_t(state.range(0))];
    const QRect viewport = rig.plots[std::size_t(state.range(0))]->viewport();
    state.SetLabel(QStringLiteral("%1 %2x%3")
                       .arg(QString::fromLatin1(g->metaObject()->className()))
                       .arg(viewport.width())
                       .arg(viewport.height())
                       .toStdString());
    QMetaObject::invokeMethod(g, "replot", Qt::DirectConnection);
    for (auto _ : state)
        QMetaObject::invokeMethod(g, "replot", Qt::DirectConnection);
}

} // namespace

BENCHMARK(BM_CycleWithRedraw)
    ->ArgsProduct({{14336, 1024}, {0, 1}})
    ->ArgNames({"records", "grid"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineOnly)->Arg(14336)->Arg(1024)->ArgName("records")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawOnly)
    ->ArgsProduct({{14336, 1024}, {0, 1}})
    ->ArgNames({"records", "grid"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawOneGraph)->DenseRange(0, 9)->ArgName("graph")->Unit(benchmark::kMillisecond);
