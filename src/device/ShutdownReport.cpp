#include "ShutdownReport.h"

#include <QMessageBox>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

struct State {
    bool leaving = false;
    std::vector<std::pair<QString, QString>> lines;   // call, line
};

State &state()
{
    static State s;
    return s;
}

} // namespace

void ShutdownReport::beginLeaving()
{
    state().leaving = true;
}

bool ShutdownReport::isLeaving()
{
    return state().leaving;
}

void ShutdownReport::note(const QString &call, const QString &line)
{
    State &s = state();
    for (const auto &kept : s.lines)
        if (kept.first == call)
            return;
    s.lines.emplace_back(call, line);
}

void ShutdownReport::withdraw(const QString &call)
{
    auto &lines = state().lines;
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        if (it->first == call) {
            lines.erase(it);
            return;
        }
    }
}

void ShutdownReport::outputsSwitched()
{
    withdraw(QStringLiteral("setOutputMux(1)"));
}

void ShutdownReport::generatorOff(bool worked, const QString &line)
{
    const QString call = QStringLiteral("funcGenEnable(0)");
    if (worked)
        withdraw(call);
    else
        note(call, !line.isEmpty() ? line
                                   : QStringLiteral("funcGenEnable(0) failed: the function "
                                                    "generator may still drive a DAC output."));
}

QStringList ShutdownReport::lines()
{
    QStringList out;
    for (const auto &kept : state().lines)
        out << kept.second;
    return out;
}

int ShutdownReport::tell(int exitCode, bool operatorThere, QWidget *parent)
{
    const QStringList told = lines();
    if (told.isEmpty())
        return exitCode;
    // stderr first: it is all a supervisor gets, and the box may never be answered.
    for (const QString &line : told)
        std::fprintf(stderr, "nivra-ui: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    if (operatorThere)
        QMessageBox::warning(parent, QStringLiteral("Left on the controller"),
                             QStringLiteral("The program ends, but:\n\n")
                                 + told.join(QStringLiteral("\n\n")));
    return exitCode != 0 ? exitCode : 1;
}

void ShutdownReport::reset()
{
    state() = State{};
}
