#include "frontend/ui/resulttables.h"

#include "frontend/logs/tabletext.h"

#include <QHeaderView>
#include <QTableWidget>

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
