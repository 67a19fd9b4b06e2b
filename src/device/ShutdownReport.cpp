#include "ShutdownReport.h"

#include <QMessageBox>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::pair<QString, std::function<QString()>>>;   // call, line

struct State {
    bool leaving = false;
    Lines lines;
};

State &state()
{
    static State s;
    return s;
}

Lines::iterator find(Lines &lines, const QString &call)
{
    return std::find_if(lines.begin(), lines.end(), [&](const auto &kept) { return kept.first == call; });
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
    note(call, [line] { return line; });
}

void ShutdownReport::note(const QString &call, std::function<QString()> line)
{
    auto &lines = state().lines;
    const auto kept = find(lines, call);
    if (kept != lines.end())
        kept->second = std::move(line);
    else
        lines.emplace_back(call, std::move(line));
}

void ShutdownReport::withdraw(const QString &call)
{
    auto &lines = state().lines;
    const auto kept = find(lines, call);
    if (kept != lines.end())
        lines.erase(kept);
}

void ShutdownReport::outputsSwitched()
{
    withdraw(QStringLiteral("setOutputMux(1)"));
}

void ShutdownReport::generatorOff(bool worked, const QString &line)
{
    const QString call = QStringLiteral("funcGenEnable(0)");
    auto &lines = state().lines;
    if (worked)
        withdraw(call);
    else if (!line.isEmpty())
        note(call, line);
    else if (find(lines, call) == lines.end())   // a sweep's line, naming its output, stays
        note(call, QStringLiteral("funcGenEnable(0) failed: the function generator may still "
                                  "drive a DAC output."));
}

QStringList ShutdownReport::lines()
{
    QStringList out;
    for (const auto &kept : state().lines)
        out << kept.second();
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
