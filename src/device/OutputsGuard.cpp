#include "OutputsGuard.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <vector>

#include "Logger.h"
#include "NonBlockingWarning.h"

namespace {

struct Holder {
    const void *owner = nullptr;
    QString name;
    OutputsGuard::Runs runs = OutputsGuard::Runs::Beside;
    std::function<void()> stop;
};

Holder &holder()
{
    static Holder h;
    return h;
}

const QString kRefusalTitle = QStringLiteral("DAC outputs in use");

struct Watcher {
    QPointer<QObject> context;
    std::function<void()> changed;
};

std::vector<Watcher> &watchers()
{
    static std::vector<Watcher> w;
    return w;
}

void announceChange()
{
    // Queued to each watcher: the change may come from a destructor (a window that
    // gives the outputs back as it goes), and a watcher gone by then is skipped.
    std::vector<Watcher> &all = watchers();
    all.erase(std::remove_if(all.begin(), all.end(), [](const Watcher &w) { return !w.context; }),
              all.end());
    for (const Watcher &w : all)
        QMetaObject::invokeMethod(w.context, w.changed, Qt::QueuedConnection);
}

} // namespace

bool OutputsGuard::acquire(const void *owner, const QString &name, Runs runs,
                           std::function<void()> stop)
{
    Holder &h = holder();
    if (h.owner)
        return h.owner == owner;
    h.owner = owner;
    h.name = name;
    h.runs = runs;
    h.stop = std::move(stop);
    announceChange();
    return true;
}

void OutputsGuard::release(const void *owner)
{
    Holder &h = holder();
    if (!owner || h.owner != owner)
        return;
    h = Holder{};
    announceChange();
}

bool OutputsGuard::isHeld()
{
    return holder().owner != nullptr;
}

bool OutputsGuard::isHeldBy(const void *owner)
{
    return owner && holder().owner == owner;
}

bool OutputsGuard::heldInGuiThread()
{
    return isHeld() && holder().runs == Runs::InGuiThread;
}

QString OutputsGuard::holderName()
{
    return holder().name;
}

void OutputsGuard::stopHolder()
{
    // A copy: the stop may give the outputs back at once.
    const std::function<void()> stop = holder().stop;
    if (stop)
        stop();
}

QString OutputsGuard::refusalText(const QString &name)
{
    return QStringLiteral("%1 is using the DAC outputs.\n\nStop it before starting %2.")
        .arg(holderName(), name);
}

void OutputsGuard::showRefusal(QWidget *parent, const QString &name)
{
    const QString text = refusalText(name);
    LOG_WARN() << name << "not started:" << holderName() << "is using the DAC outputs";
    NonBlockingWarning::show(parent, kRefusalTitle, text);
}

bool OutputsGuard::refuses(QWidget *parent, const QString &action)
{
    if (!isHeld())
        return false;
    LOG_WARN() << action << "refused:" << holderName() << "is using the DAC outputs";
    NonBlockingWarning::show(parent, kRefusalTitle, QStringLiteral("%1 is using the DAC outputs.\n\n"
                                       "%2 is refused until it has handed them back.")
                            .arg(holderName(), action));
    return true;
}

void OutputsGuard::watch(QObject *context, std::function<void()> changed)
{
    if (context && changed)
        watchers().push_back({context, std::move(changed)});
}

OutputsGuard::Claim::Claim(const void *owner, const QString &name, Runs runs,
                           std::function<void()> stop)
    : m_owner(owner)
{
    const bool heldBefore = isHeldBy(owner);
    m_granted = acquire(owner, name, runs, std::move(stop));
    m_owned = m_granted && !heldBefore;
}

OutputsGuard::Claim::~Claim()
{
    if (m_owned)
        release(m_owner);
}
