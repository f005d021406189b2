#pragma once

#include <QList>
#include <QStringList>
#include <QTableWidgetItem>

class QTableWidget;

// A cell of the short log's result tables: it can be neither selected nor
// edited, and a sorted column orders it by value ("5 s" before "30 s").
class ResultCell : public QTableWidgetItem
{
public:
    explicit ResultCell(const QString &text);
    bool operator<(const QTableWidgetItem &other) const override;
};

// A click on a header sorts the table by that column, a second click the
// other way round; rows move whole. Until the first click the rows keep the
// order they came in.
void sortOnHeaderClick(QTableWidget *table);
// Shows the rows in the order they are put in again (for the next log).
void forgetSortOrder(QTableWidget *table);

// The header's texts, then every row's, as shown.
QList<QStringList> tableRows(const QTableWidget &table);
