#pragma once
// Answers the message boxes (modal or not) and modal file dialogs that code under test opens, so
// that no test ever blocks on one. Every box it answers is recorded.

#include <QMessageBox>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class DialogAnswerer : public QObject
{
    Q_OBJECT
public:
    struct Seen {
        QString kind;   // "warning", "critical", "information", "question" or "file"
        QString title;
        QString text;
    };

    // Message boxes are answered with `button`; file dialogs with `fileName`
    // (an empty name cancels them).
    explicit DialogAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok,
                            QString fileName = QString(), QObject *parent = nullptr);
    ~DialogAnswerer() override;

    void setFileName(const QString &fileName) { m_fileName = fileName; }
    void setButton(QMessageBox::StandardButton button) { m_button = button; }

    const QList<Seen> &seen() const { return m_seen; }
    int count() const { return m_seen.size(); }
    Seen last() const { return m_seen.isEmpty() ? Seen{} : m_seen.last(); }
    void clear() { m_seen.clear(); }

private:
    void poll();
    void answer(QWidget *modal, bool record);

    QMessageBox::StandardButton m_button;
    QString m_fileName;
    QList<Seen> m_seen;
    QPointer<QWidget> m_answering;   // the box being answered, never answered twice
    QElapsedTimer m_answeredAt;
    QTimer m_timer;
};
