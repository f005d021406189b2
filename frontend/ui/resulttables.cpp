#include "frontend/ui/resulttables.h"

#include "frontend/logs/tabletext.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>

RowFitter::RowFitter(QTableWidget *table)
    : QObject(table)
    , m_table(table)
{
    setObjectName(QStringLiteral("rowFitter"));
    QHeaderView *columns = table->horizontalHeader();
    // A stretched column is announced before the header keeps its new
    // width, so the rows are not fitted from here but once it is kept.
    connect(columns, &QHeaderView::sectionResized, this, [this] {
        if (m_refitPending)
            return;
        m_refitPending = true;
        QTimer::singleShot(0, this, &RowFitter::refitIfPending);
    });
    // A new width of the table (the window resized, the scroll bar coming
    // with the filled rows) ends here with every column at its width: fitted
    // now, since the window may paint before a later turn of the event loop
    // and show the rows at the heights of the old widths.
    connect(columns, &QHeaderView::geometriesChanged, this, &RowFitter::refitIfPending);
}

void RowFitter::refitIfPending()
{
    if (!m_refitPending)
        return;
    m_refitPending = false;
    fitFilledRows();
}

RowFitter *RowFitter::of(QTableWidget *table)
{
    if (auto *fitter =
            table->findChild<RowFitter *>(QStringLiteral("rowFitter"), Qt::FindDirectChildrenOnly))
        return fitter;
    return new RowFitter(table);
}

QString RowFitter::keyOf(int row) const
{
    QString key;
    for (int c = 0; c < m_table->columnCount(); ++c) {
        const QTableWidgetItem *item = m_table->item(row, c);
        key += QString::number(m_table->columnWidth(c)) + QLatin1Char('\x1f') +
               (item ? item->text() : QString()) + QLatin1Char('\x1e');
    }
    return key;
}

void RowFitter::fitRow(int row)
{
    if (m_batches > 0)
        m_pending.append(row);
    else
        fitNow(row);
}

void RowFitter::fitNow(int row)
{
    const QString key = keyOf(row);
    if (const auto known = m_heights.constFind(key); known != m_heights.constEnd()) {
        m_table->setRowHeight(row, known.value());
        return;
    }
    m_table->resizeRowToContents(row);
    m_heights.insert(key, m_table->rowHeight(row));
}

RowFitter::Batch::Batch(const QList<QTableWidget *> &tables)
    : m_tables(tables)
{
    for (QTableWidget *table : m_tables)
        ++RowFitter::of(table)->m_batches;
}

RowFitter::Batch::~Batch()
{
    for (QTableWidget *table : m_tables) {
        RowFitter *fitter = RowFitter::of(table);
        if (--fitter->m_batches > 0)
            continue;
        // The header need not say where each row starts after each height.
        QHeaderView *rows = table->verticalHeader();
        rows->setUpdatesEnabled(false);
        for (int row : std::as_const(fitter->m_pending)) {
            if (row < table->rowCount())
                fitter->fitNow(row);
        }
        fitter->m_pending.clear();
        rows->setUpdatesEnabled(true);
    }
}

void RowFitter::fitFilledRows()
{
    // Rows made by a row count but not filled yet keep their height until
    // their texts come.
    const Batch batch({m_table});
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, 0))
            fitRow(row);
    }
}

ResultCell::ResultCell(const QString &text)
    : QTableWidgetItem(text)
{
    setFlags(flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEditable));
}

bool ResultCell::operator<(const QTableWidgetItem &other) const
{
    return compareCellTexts(text(), other.text()) < 0;
}

void sortOnHeaderClick(QTableWidget *table)
{
    QHeaderView *header = table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    forgetSortOrder(table);
    // Sorted on request only: with the view's own sorting switched on, rows
    // would move while the parser is still putting their cells in.
    QObject::connect(header, &QHeaderView::sortIndicatorChanged, table,
                     [table](int column, Qt::SortOrder order) {
                         if (column >= 0)
                             table->sortItems(column, order);
                     });
}

void forgetSortOrder(QTableWidget *table)
{
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

QList<QStringList> tableRows(const QTableWidget &table)
{
    QList<QStringList> rows;
    QStringList header;
    for (int c = 0; c < table.columnCount(); ++c) {
        const QTableWidgetItem *item = table.horizontalHeaderItem(c);
        header.append(item ? item->text() : QString());
    }
    rows.append(header);
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table.columnCount(); ++c) {
            const QTableWidgetItem *item = table.item(r, c);
            cells.append(item ? item->text() : QString());
        }
        rows.append(cells);
    }
    return rows;
}
