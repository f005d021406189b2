#include "frontend/ui/servicerecorddialog.h"

#include "frontend/base/userdialogs.h"
#include "records/recordformat.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

using records::RecordFormat;
using records::RecordState;
using records::UpdateRecord;

namespace {

// Long names and paths keep the table readable; the tooltip has them whole.
constexpr int kMaxTextColumnWidth = 260;
constexpr int kEmptyPage = 1;
constexpr int kTablePage = 0;

QColor stateColour(RecordState state)
{
    switch (state) {
    case RecordState::Ok:
        return QColor(0x1b, 0x7e, 0x28);
    case RecordState::Failed:
        return QColor(0xb3, 0x26, 0x1e);
    case RecordState::AbortedByClosing:
    case RecordState::DaemonLost:
    case RecordState::PortLost:
    case RecordState::BrokerLost:
    case RecordState::Interrupted:
        return QColor(0xa6, 0x5c, 0x00);
    case RecordState::Running:
        return QColor(0x1a, 0x5f, 0xb4);
    }
    return QColor();
}

QIcon stateIcon(RecordState state)
{
    QStyle *style = QApplication::style();
    switch (state) {
    case RecordState::Ok:
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    case RecordState::Failed:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case RecordState::AbortedByClosing:
    case RecordState::DaemonLost:
    case RecordState::PortLost:
    case RecordState::BrokerLost:
    case RecordState::Interrupted:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case RecordState::Running:
        return style->standardIcon(QStyle::SP_BrowserReload);
    }
    return QIcon();
}

QTableWidgetItem *cell(const QString &text, const QString &toolTip = QString())
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (!toolTip.isEmpty())
        item->setToolTip(toolTip);
    return item;
}

// What tells two readings of the store apart on screen.
bool sameRecords(const QList<UpdateRecord> &a, const QList<UpdateRecord> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a.at(i).id != b.at(i).id || a.at(i).state != b.at(i).state ||
            a.at(i).finishedAt != b.at(i).finishedAt)
            return false;
    return true;
}

} // namespace

ServiceRecordDialog::ServiceRecordDialog(QWidget *parent, const QString &databasePath)
    : QDialog(parent)
    , m_databasePath(databasePath)
{
    buildForm();
    retranslateUi();
    m_watchTimer.setInterval(kWatchIntervalMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &ServiceRecordDialog::watch);
}

ServiceRecordDialog::~ServiceRecordDialog() = default;

void ServiceRecordDialog::buildForm()
{
    setObjectName(QStringLiteral("ServiceRecordDialog"));
    setModal(false);
    resize(1180, 520);

    m_boardLabel = new QLabel(this);
    m_boardBox = new QComboBox(this);
    m_boardBox->setObjectName(QStringLiteral("boardFilterBox"));
    m_boardBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_boardLabel->setBuddy(m_boardBox);

    const QDate today = QDate::currentDate();
    m_rangeBox = new QCheckBox(this);
    m_rangeBox->setObjectName(QStringLiteral("dateRangeCheck"));
    m_fromEdit = new QDateEdit(today.addDays(-kDefaultRangeDays), this);
    m_fromEdit->setObjectName(QStringLiteral("fromDateEdit"));
    m_toLabel = new QLabel(this);
    m_toEdit = new QDateEdit(today, this);
    m_toEdit->setObjectName(QStringLiteral("toDateEdit"));
    for (QDateEdit *edit : {m_fromEdit, m_toEdit}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    m_toLabel->setBuddy(m_toEdit);

    m_refreshButton = new QPushButton(this);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_refreshButton->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));

    auto *filters = new QHBoxLayout();
    filters->addWidget(m_boardLabel);
    filters->addWidget(m_boardBox);
    filters->addSpacing(24);
    filters->addWidget(m_rangeBox);
    filters->addWidget(m_fromEdit);
    filters->addWidget(m_toLabel);
    filters->addWidget(m_toEdit);
    filters->addStretch(1);
    filters->addWidget(m_refreshButton);

    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("recordTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < ColumnCount; ++c)
        m_table->setHorizontalHeaderItem(c, new QTableWidgetItem());

    m_emptyLabel = new QLabel(this);
    m_emptyLabel->setObjectName(QStringLiteral("emptyStateLabel"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont emptyFont = m_emptyLabel->font();
    emptyFont.setPointSizeF(emptyFont.pointSizeF() * 1.2);
    m_emptyLabel->setFont(emptyFont);

    m_stack = new QStackedWidget(this);
    m_stack->insertWidget(kTablePage, m_table);
    m_stack->insertWidget(kEmptyPage, m_emptyLabel);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_exportButton = new QPushButton(this);
    m_exportButton->setObjectName(QStringLiteral("exportCsvButton"));
    m_exportButton->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_closeButton = new QPushButton(this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoDefault(false);
    m_exportButton->setAutoDefault(false);
    m_refreshButton->setAutoDefault(false);

    auto *bottom = new QHBoxLayout();
    bottom->addWidget(m_statusLabel, 1);
    bottom->addWidget(m_exportButton);
    bottom->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_stack, 1);
    layout->addLayout(bottom);

    connect(m_boardBox, &QComboBox::currentIndexChanged, this, &ServiceRecordDialog::refresh);
    connect(m_rangeBox, &QCheckBox::toggled, this, &ServiceRecordDialog::refresh);
    // Picking a date means the range is wanted.
    for (QDateEdit *edit : {m_fromEdit, m_toEdit})
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            if (m_rangeBox->isChecked())
                refresh();
            else
                m_rangeBox->setChecked(true);
        });
    connect(m_refreshButton, &QPushButton::clicked, this, &ServiceRecordDialog::refresh);
    connect(m_exportButton, &QPushButton::clicked, this, &ServiceRecordDialog::exportCsv);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);

    m_exportButton->setEnabled(false);
    m_stack->setCurrentIndex(kEmptyPage);
}

void ServiceRecordDialog::retranslateUi()
{
    setWindowTitle(tr("Service record"));
    m_boardLabel->setText(tr("&Board:"));
    m_rangeBox->setText(tr("Only &from"));
    m_toLabel->setText(tr("&to"));
    m_refreshButton->setText(tr("&Refresh"));
    m_exportButton->setText(tr("&Export CSV…"));
    m_closeButton->setText(tr("&Close"));
    const QStringList titles = RecordFormat::columnTitles();
    for (int c = 0; c < ColumnCount && c < titles.size(); ++c)
        m_table->horizontalHeaderItem(c)->setText(titles.at(c));
    if (m_boardBox->count() == 0)
        m_boardBox->addItem(QString(), QString());
    m_boardBox->setItemText(0, tr("All"));
}

records::RecordFilter ServiceRecordDialog::currentFilter() const
{
    records::RecordFilter filter;
    if (m_rangeBox->isChecked()) {
        QDate first = m_fromEdit->date();
        QDate last = m_toEdit->date();
        if (first > last)
            std::swap(first, last);
        filter = records::RecordFilter::days(first, last);
    }
    filter.boardId = m_boardBox->currentData().toString();
    return filter;
}

bool ServiceRecordDialog::ensureStore()
{
    if (m_store.isOpen())
        return true;
    const bool opened =
        m_databasePath.isEmpty() ? m_store.openDefault() : m_store.open(m_databasePath);
    if (!m_store.movedAsidePath().isEmpty())
        UserDialogs::instance().warning(QStringLiteral("Warning"), m_store.movedAsideNotice());
    return opened;
}

void ServiceRecordDialog::refresh()
{
    // Refilling the board list changes its index; that is not a new request.
    if (m_refreshing)
        return;
    m_refreshing = true;
    m_records.clear();
    if (!ensureStore()) {
        fillTable();
        showEmpty(m_store.errorString());
        m_statusLabel->clear();
        m_refreshing = false;
        return;
    }
    bool ok = false;
    const QStringList ids = m_store.boardIds(&ok);
    if (ok)
        fillBoards(ids);
    if (ok)
        m_records = m_store.query(currentFilter(), &ok);
    fillTable();
    if (!ok) {
        showEmpty(m_store.errorString());
        m_statusLabel->clear();
    } else if (m_records.isEmpty()) {
        showEmpty(m_store.count() == 0 ? RecordFormat::emptyText()
                                       : tr("No updates match the filter."));
        m_statusLabel->clear();
    } else {
        m_statusLabel->setText(m_records.size() == 1
                                   ? tr("1 update shown.")
                                   : tr("%1 updates shown.").arg(m_records.size()));
    }
    m_refreshing = false;
}

void ServiceRecordDialog::fillBoards(const QStringList &ids)
{
    const QSignalBlocker blocker(m_boardBox);
    const QString current = m_boardBox->currentData().toString();
    while (m_boardBox->count() > 1)
        m_boardBox->removeItem(1);
    for (const QString &id : ids)
        m_boardBox->addItem(id, id);
    const int index = m_boardBox->findData(current);
    m_boardBox->setCurrentIndex(index < 0 ? 0 : index);
}

void ServiceRecordDialog::showEmpty(const QString &text)
{
    m_emptyLabel->setText(text);
    m_stack->setCurrentIndex(kEmptyPage);
}

void ServiceRecordDialog::fillTable()
{
    const QLocale locale;
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_table->setRowCount(0);
    m_table->setRowCount(int(m_records.size()));
    for (int row = 0; row < m_records.size(); ++row) {
        const UpdateRecord &r = m_records.at(row);
        const QString finished = RecordFormat::timestamp(r.finishedAt);
        m_table->setItem(row, StartedColumn,
                         cell(RecordFormat::timestamp(r.startedAt),
                              finished.isEmpty() ? QString() : tr("Ended %1").arg(finished)));
        QTableWidgetItem *duration = cell(RecordFormat::duration(r.durationMs()));
        duration->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, DurationColumn, duration);

        QTableWidgetItem *result = cell(RecordFormat::stateText(r.state), r.errorText);
        result->setIcon(stateIcon(r.state));
        result->setForeground(stateColour(r.state));
        QFont bold = result->font();
        bold.setBold(true);
        result->setFont(bold);
        m_table->setItem(row, ResultColumn, result);

        m_table->setItem(row, VerifyColumn, cell(RecordFormat::verifyText(r.verify)));
        m_table->setItem(row, BoardColumn, cell(r.boardId));
        m_table->setItem(row, BoardNameColumn, cell(r.boardName, r.boardName));
        m_table->setItem(
            row, FileColumn,
            cell(QFileInfo(r.filePath).fileName(), QDir::toNativeSeparators(r.filePath)));
        QTableWidgetItem *size =
            cell(RecordFormat::sizeKiB(r.fileSize, locale),
                 r.fileSize < 0 ? QString() : tr("%1 bytes").arg(locale.toString(r.fileSize)));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, SizeColumn, size);
        QTableWidgetItem *md5 = cell(RecordFormat::shortMd5(r.fileMd5), r.fileMd5);
        md5->setFont(fixed);
        m_table->setItem(row, Md5Column, md5);
        m_table->setItem(row, EraseColumn, cell(RecordFormat::eraseText(r.erase)));
        QTableWidgetItem *retries = cell(RecordFormat::retriesText(r.retries));
        retries->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, RetriesColumn, retries);
        m_table->setItem(row, PortColumn, cell(r.port));
        m_table->setItem(row, UserColumn, cell(r.user));
        m_table->setItem(row, HostColumn, cell(r.host));
        m_table->setItem(row, ProgramColumn, cell(r.program));
        // One line in the table; the tooltip keeps the daemon's line breaks.
        QString error = r.errorText;
        error.replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_table->setItem(row, ErrorColumn, cell(error, r.errorText));
        m_table->setItem(row, FileNotesColumn,
                         cell(RecordFormat::notesLine(r.fileNotes), r.fileNotes));
        m_table->setItem(row, SourceColumn, cell(RecordFormat::sourceText(r.origin)));
        m_table->setItem(row, SignatureColumn, cell(RecordFormat::signatureText(r.origin)));
    }
    m_table->resizeColumnsToContents();
    for (int c : {BoardNameColumn, FileColumn, FileNotesColumn, PortColumn, HostColumn})
        if (m_table->columnWidth(c) > kMaxTextColumnWidth)
            m_table->setColumnWidth(c, kMaxTextColumnWidth);
    m_exportButton->setEnabled(!m_records.isEmpty());
    if (!m_records.isEmpty())
        m_stack->setCurrentIndex(kTablePage);
}

void ServiceRecordDialog::exportCsv()
{
    if (m_records.isEmpty())
        return;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString suggested =
        folder + QStringLiteral("/service-record-%1.csv")
                     .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    const QString path = UserDialogs::instance().chooseSaveFile(tr("CSV files (*.csv)"), suggested);
    if (path.isEmpty())
        return;
    // Written whole or not at all: an existing file is replaced only by a
    // complete one.
    QSaveFile file(path);
    const QByteArray csv = RecordFormat::toCsv(m_records, true);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        const QString text = tr("The CSV file %1 could not be written: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString());
        m_statusLabel->setText(text);
        UserDialogs::instance().critical(QStringLiteral("Error"), text);
        return;
    }
    const QString where = QDir::toNativeSeparators(path);
    m_statusLabel->setText(m_records.size() == 1
                               ? tr("1 update saved to %1").arg(where)
                               : tr("%1 updates saved to %2").arg(m_records.size()).arg(where));
}

void ServiceRecordDialog::watch()
{
    if (!isVisible() || m_refreshing || !m_store.isOpen())
        return;
    bool ok = false;
    const QList<UpdateRecord> now = m_store.query(currentFilter(), &ok);
    if (ok && !sameRecords(now, m_records))
        refresh();
}

void ServiceRecordDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    refresh();
    m_watchTimer.start();
}

void ServiceRecordDialog::hideEvent(QHideEvent *event)
{
    m_watchTimer.stop();
    QDialog::hideEvent(event);
}
