// Handing a graph's containers to the acquisition engine: all of them or none.
#include <QObject>

#include <gtest/gtest.h>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "GraphDataKind.h"
#include "GraphRegistration.h"
#include "NivraSim.h"
#include "Updater.h"

namespace {

class FakeGraph : public QObject
{
public:
    QList<GraphContainer> containers;
    int replots = 0;

    GraphContainer graphData(int index) const { return containers.value(index); }
    void replot() { ++replots; }
};

QStringList criticals;

void recordCritical(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtCriticalMsg && QByteArray(context.category) == "default")
        criticals << text;
}

class GraphRegistration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        nivraSimReset(11);
        updater = &engine;
        criticals.clear();
        previousHandler = qInstallMessageHandler(recordCritical);
        for (int i = 0; i < 4; ++i)
            graph.containers << GraphContainer::create();
    }
    void TearDown() override
    {
        qInstallMessageHandler(previousHandler);
        updater = nullptr;
    }

    // One acquisition cycle; true when it filled every container of the graph.
    bool cycleFillsAll()
    {
        DialogAnswerer answerer;
        engine.updateGraphs();
        EXPECT_EQ(answerer.count(), 0);
        for (const GraphContainer &c : graph.containers)
            if (!c || c->isEmpty())
                return false;
        return true;
    }

    Updater engine;
    FakeGraph graph;
    QtMessageHandler previousHandler = nullptr;
};

} // namespace

TEST_F(GraphRegistration, AllContainersGoToTheEngineAndReplotFollowsIt)
{
    ASSERT_TRUE(registerGraphContainers(&graph, GraphDacOutput, 4, QStringLiteral("graphDAC_")));
    EXPECT_TRUE(criticals.isEmpty());
    EXPECT_TRUE(cycleFillsAll());
    EXPECT_EQ(graph.replots, 1);
}

TEST_F(GraphRegistration, OneMissingContainerHandsOverNone)
{
    graph.containers[1].reset();
    EXPECT_FALSE(registerGraphContainers(&graph, GraphDacOutput, 4, QStringLiteral("graphDAC_")));
    EXPECT_EQ(criticals, QStringList{QStringLiteral("graphDAC_1 data container is null!")});

    EXPECT_FALSE(cycleFillsAll());
    for (int i : {0, 2, 3})
        EXPECT_TRUE(graph.containers[i]->isEmpty()) << i;
    EXPECT_EQ(graph.replots, 0) << "not connected to the engine";
}
