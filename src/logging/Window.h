#pragma once
// The operator's log window: every delivered message in a table, filtered by a
// minimum level, with pause, clear, copy and save. Runs on the GUI thread only;
// messages arrive through addLogMessage by a queued connection.

#include "LogMessage.h"
#include "LogWindowModel.h"

#include <QDialog>

#include <memory>

namespace Ui {
class LogWindow;
}

namespace Logging {

class WindowLogFilterProxyModel;

class Window : public QDialog
{
    Q_OBJECT
public:
    explicit Window(QWidget *parent = nullptr);
    ~Window() override;

    bool isPaused() const { return m_paused; }
    LogWindowModel &model() { return m_model; }
    const LogWindowModel &model() const { return m_model; }
    WindowLogFilterProxyModel *proxyModel() const { return m_proxy; }

public slots:
    // Spelled with the namespace: the string signature is
    // "addLogMessage(Logging::LogMessage)".
    void addLogMessage(const Logging::LogMessage &m);
    void OnPauseClicked();
    void OnSaveClicked();
    void OnClearClicked();
    void OnCopyClicked();
    void OnLevelChanged(int value);
    void OnAutoScrollChanged(bool checked);
    void ModelRowsInserted(const QModelIndex &parent, int start, int last);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The log lines of the selected rows, or of every shown row when none is
    // selected, each ending in a line feed.
    QString selectedText() const;

    LogWindowModel m_model;
    std::unique_ptr<Ui::LogWindow> m_ui;
    WindowLogFilterProxyModel *m_proxy = nullptr;
    bool m_paused = false;
    bool m_autoScroll = true;
};

} // namespace Logging
