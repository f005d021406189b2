#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTableWidgetItem>

class QTableWidget;

// Sizes a result table's rows to their texts, a row at a time, as the
// table fills: sizing every row again after each one made filling a table
// take time in the square of its rows. The rows above were sized when they
// were filled, so the table ends as sizing all of them would leave it. A
// long log repeats the same rows: the height of texts already measured at
// the same column widths is remembered. When the columns change width (the
// window maximised, a scroll bar appearing) the filled rows are fitted
// again, once, after the change; for a new width of the table, before the
// window paints it.
class RowFitter : public QObject
{
public:
    // The table's fitter, made with it as its parent on first use.
    static RowFitter *of(QTableWidget *table);

    void fitRow(int row);
    void fitFilledRows();
    // For another log: heights measured for the last one go.
    void forget() { m_heights.clear(); }
    // Texts measured so far (for tests).
    int measured() const { return int(m_heights.size()); }

    // While it lives, rows are fitted when it ends, all together: a row's
    // new height made the view work out again where every row starts at
    // the next cell put in (time in the number of rows, for every row).
    // Nothing is painted in between, so each row still shows sized to its
    // texts.
    class Batch
    {
    public:
        explicit Batch(const QList<QTableWidget *> &tables);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        QList<QTableWidget *> m_tables;
    };

private:
    explicit RowFitter(QTableWidget *table);
    QString keyOf(int row) const;

    void fitNow(int row);
    void refitIfPending();

    QTableWidget *m_table;
    QHash<QString, int> m_heights;
    bool m_refitPending = false;
    int m_batches = 0;
    QList<int> m_pending; // rows to fit when the batch ends
};

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
