#pragma once

#include "frontend/logs/loganalysis.h"

#include <QDialog>
#include <QStringList>
#include <QVector>

class QLabel;
class QTableWidget;

// "Alarm Counts": per alarm code how many runs had it, and its first and
// last run with their dates, sortable by any column. A run has two numbers:
// its place in the graphs and the board's own EVENT NUMBER. It stays open beside
// the graphs; a double click on a row shows its first run, or its last run
// when the last run or date is clicked.
class AlarmCountsDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column
    {
        CodeColumn,
        DescriptionColumn,
        RunsColumn,
        FirstRunColumn,
        FirstBoardRunColumn,
        FirstDateColumn,
        LastRunColumn,
        LastBoardRunColumn,
        LastDateColumn,
        ColumnCount
    };

    explicit AlarmCountsDialog(QWidget *parent = nullptr);

    // `descriptions` runs parallel to `counts`; `source` names the log.
    void setCounts(const QVector<AlarmCount> &counts, const QStringList &descriptions,
                   const QString &source);
    QTableWidget *table() const { return m_table; }

signals:
    void runRequested(int run);

private:
    void requestRunOf(int row, int column);

    QLabel *m_source = nullptr;
    QTableWidget *m_table = nullptr;
};
