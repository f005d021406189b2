#include "frontend/logs/alarmcountsdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <limits>

namespace {
const QString kDateFormat = QStringLiteral("d/M/yyyy hh:mm");

// Sorts by a key of its own: dates by time, not by their text.
class KeyedItem : public QTableWidgetItem
{
public:
    KeyedItem(const QString &text, const QVariant &key)
        : QTableWidgetItem(text)
    {
        setData(Qt::UserRole, key);
    }
    bool operator<(const QTableWidgetItem &other) const override
    {
        return QVariant::compare(data(Qt::UserRole), other.data(Qt::UserRole)) ==
               QPartialOrdering::Less;
    }
};

QTableWidgetItem *numberItem(int value)
{
    auto *item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QTableWidgetItem *dateItem(const QDateTime &date)
{
    // Runs without a date sort before every dated one.
    return new KeyedItem(date.isValid() ? date.toString(kDateFormat) : QString(),
                         date.isValid() ? date.toMSecsSinceEpoch()
                                        : std::numeric_limits<qint64>::min());
}
} // namespace

AlarmCountsDialog::AlarmCountsDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AlarmCountsDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(tr("Alarm Counts"));
    resize(940, 360);

    auto *layout = new QVBoxLayout(this);
    m_source = new QLabel(this);
    m_source->setWordWrap(true);
    layout->addWidget(m_source);
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("alarmCountsTable"));
    m_table->setHorizontalHeaderLabels({tr("Code"), tr("Description"), tr("Runs"), tr("First Run"),
                                        tr("Board Run"), tr("First Date"), tr("Last Run"),
                                        tr("Board Run"), tr("Last Date")});
    m_table->horizontalHeaderItem(FirstBoardRunColumn)
        ->setToolTip(tr("The board's own number of the first run (EVENT NUMBER)"));
    m_table->horizontalHeaderItem(LastBoardRunColumn)
        ->setToolTip(tr("The board's own number of the last run (EVENT NUMBER)"));
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(DescriptionColumn, QHeaderView::Stretch);
    layout->addWidget(m_table);
    layout->addWidget(new QLabel(
        tr("Click a heading to sort. Double-click a row to show its first run in the graphs, or "
           "its last run from the last three columns."),
        this));

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &AlarmCountsDialog::requestRunOf);
}

void AlarmCountsDialog::setCounts(const QVector<AlarmCount> &counts,
                                  const QStringList &descriptions, const QString &source)
{
    m_source->setText(source);
    // Filled unsorted, or the rows would move while their cells go in.
    m_table->setSortingEnabled(false);
    m_table->setRowCount(int(counts.size()));
    for (int i = 0; i < counts.size(); ++i) {
        const AlarmCount &count = counts.at(i);
        auto *code = new QTableWidgetItem(count.code);
        code->setToolTip(count.text);
        m_table->setItem(i, CodeColumn, code);
        m_table->setItem(i, DescriptionColumn,
                         new QTableWidgetItem(descriptions.value(i).trimmed()));
        m_table->setItem(i, RunsColumn, numberItem(count.runs));
        m_table->setItem(i, FirstRunColumn, numberItem(count.firstRun));
        m_table->setItem(i, FirstBoardRunColumn, numberItem(count.firstBoardRun));
        m_table->setItem(i, FirstDateColumn, dateItem(count.firstDate));
        m_table->setItem(i, LastRunColumn, numberItem(count.lastRun));
        m_table->setItem(i, LastBoardRunColumn, numberItem(count.lastBoardRun));
        m_table->setItem(i, LastDateColumn, dateItem(count.lastDate));
    }
    // The counts come most frequent first; the header says so. Sized after,
    // so the headings keep room for the sort arrow.
    m_table->horizontalHeader()->setSortIndicator(RunsColumn, Qt::DescendingOrder);
    m_table->setSortingEnabled(true);
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setSectionResizeMode(DescriptionColumn, QHeaderView::Stretch);
}

void AlarmCountsDialog::requestRunOf(int row, int column)
{
    const bool last =
        column == LastRunColumn || column == LastBoardRunColumn || column == LastDateColumn;
    const QTableWidgetItem *item = m_table->item(row, last ? LastRunColumn : FirstRunColumn);
    if (item)
        emit runRequested(item->data(Qt::DisplayRole).toInt());
}
