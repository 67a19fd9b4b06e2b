#include "Window.h"

#include "Level.h"
#include "SavedFile.h"
#include "WindowLogFilterProxyModel.h"
#include "ui_Window.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTextStream>

#include <algorithm>

namespace Logging {

Window::Window(QWidget *parent)
    : QDialog(parent)
    , m_model(LogWindowModel::NoLimit)
    , m_ui(std::make_unique<Ui::LogWindow>())
{
    m_ui->setupUi(this);

    connect(m_ui->toolButtonPause, &QToolButton::clicked, this, &Window::OnPauseClicked);
    connect(m_ui->toolButtonSave, &QToolButton::clicked, this, &Window::OnSaveClicked);
    connect(m_ui->toolButtonClear, &QToolButton::clicked, this, &Window::OnClearClicked);
    connect(m_ui->toolButtonCopy, &QToolButton::clicked, this, &Window::OnCopyClicked);
    connect(m_ui->comboBoxLevel, &QComboBox::currentIndexChanged, this, &Window::OnLevelChanged);
    connect(m_ui->checkBoxAutoScroll, &QCheckBox::toggled, this, &Window::OnAutoScrollChanged);

    m_proxy = new WindowLogFilterProxyModel(this);
    m_proxy->setSourceModel(&m_model);
    m_ui->tableViewMessages->setModel(m_proxy);
    m_ui->tableViewMessages->installEventFilter(this);

    // Connected after the proxy and the view: they must have taken the new row in
    // before the view scrolls, or the newest row would sit just below the bottom.
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &Window::ModelRowsInserted);

    QTableView *table = m_ui->tableViewMessages;
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    // Rows are one line (no word wrap), so one fixed height looks the same as rows
    // sized to their contents, which would measure every row on each new message:
    // a cost growing with the log, paid even while the window is hidden.
    QStyleOptionViewItem line;
    line.initFrom(table);
    line.font = table->font();
    line.fontMetrics = QFontMetrics(line.font);
    line.features = QStyleOptionViewItem::HasDisplay;
    line.text = QStringLiteral("Xg");
    const int lineHeight =
        table->style()->sizeFromContents(QStyle::CT_ItemViewItem, &line, QSize(), table).height();
    QHeaderView *rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(lineHeight, rows->minimumSectionSize()));

    // The combo's index is the level number.
    for (int level = TraceLevel; level <= FatalLevel; ++level)
        m_ui->comboBoxLevel->addItem(levelDisplayName(level), level);
    m_ui->comboBoxLevel->setCurrentIndex(InfoLevel);
}

Window::~Window()
{
    delete m_proxy;
    m_proxy = nullptr;
    m_ui.reset();
}

void Window::addLogMessage(const Logging::LogMessage &m)
{
    m_model.addEntry(m);
}

void Window::OnPauseClicked()
{
    // The button names what its next click does.
    if (m_paused) {
        m_ui->toolButtonPause->setIcon(QIcon(QStringLiteral(":/LogWindow/images/icon-pause-16.png")));
        m_ui->toolButtonPause->setText(tr("&Pause"));
    } else {
        m_ui->toolButtonPause->setIcon(QIcon(QStringLiteral(":/LogWindow/images/icon-resume-16.png")));
        m_ui->toolButtonPause->setText(tr("&Resume"));
    }
    m_paused = !m_paused;

    if (m_paused) {
        // Keep exactly the rows on screen; later rows fail the index test. No
        // re-filter, so nothing on screen changes now.
        m_proxy->setFreezeCount(m_proxy->rowCount());
    } else {
        m_proxy->setFreezeCount(0);
        m_proxy->refilter();
    }
}

void Window::OnSaveClicked()
{
    const QString text = selectedText();
    if (text.isEmpty())
        return;

    QFileDialog dialog(this, tr("Save log"));
    dialog.setNameFilter(tr("Log file (*.log)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    // A cancelled dialog may still list a file (the name typed so far): only an
    // accepted one may lead to a write.
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return;

    // A log that was not saved must not look saved: the operator may clear it next.
    QFile file(files.first());
    if (!file.open(QIODevice::WriteOnly)) {
        QMessageBox::warning(this, tr("Save log"),
                             tr("%1 could not be opened:\n%2").arg(file.fileName(), file.errorString()));
        return;
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << text;
    QString error;
    if (!SavedFile::close(out, file, &error))
        QMessageBox::warning(this, tr("Save log"),
                             tr("%1 could not be written completely:\n%2").arg(file.fileName(), error));
}

void Window::OnClearClicked()
{
    m_model.clear();
}

void Window::OnCopyClicked()
{
    const QString text = selectedText();
    if (text.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void Window::OnLevelChanged(int value)
{
    m_proxy->setMinimumLevel(value);
    m_proxy->refilter();
}

void Window::OnAutoScrollChanged(bool checked)
{
    m_autoScroll = checked;
}

void Window::ModelRowsInserted(const QModelIndex &, int, int)
{
    if (m_autoScroll && !m_paused)
        m_ui->tableViewMessages->scrollToBottom();
}

bool Window::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->tableViewMessages) {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier) {
                OnCopyClicked();
                return true;
            }
        }
        return false;
    }
    return QDialog::eventFilter(watched, event);
}

QString Window::selectedText() const
{
    QString text;
    QModelIndexList rows = m_ui->tableViewMessages->selectionModel()->selectedRows(0);
    if (!rows.isEmpty()) {
        std::sort(rows.begin(), rows.end());
        for (const QModelIndex &index : rows) {
            const int sourceRow = m_proxy->mapToSource(index).row();
            text += m_model.at(sourceRow).formatted() + QLatin1Char('\n');
        }
        return text;
    }
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        const int sourceRow = m_proxy->mapToSource(m_proxy->index(row, 0)).row();
        text += m_model.at(sourceRow).formatted() + QLatin1Char('\n');
    }
    return text;
}

} // namespace Logging
