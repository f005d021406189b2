#pragma once

#include "frontend/logs/loganalysis.h"

#include <QDialog>
#include <QList>

class QLineEdit;
class QListWidget;

// One row a plot can show: its group ("Commands", "Events", "Alarms"), its
// label as the series holds it and its description.
struct RowChoice
{
    QString group;
    QString label;
    QString description;
};

// "Filter Rows": the rows of one plot with a box each, a search over their
// texts and descriptions, and buttons to tick or clear the rows listed.
class RowFilterDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RowFilterDialog(QWidget *parent = nullptr);

    // Lists `rows` under their groups, ticked as `current` shows them.
    void setRows(const QList<RowChoice> &rows, const RowFilter &current);
    // The rows ticked; not active when every row is.
    RowFilter filter() const;

    QLineEdit *searchEdit() const { return m_search; }
    QListWidget *list() const { return m_list; }
    // Ticks or clears the rows the search leaves listed.
    void setListedChecked(bool checked);

private:
    void applySearch(const QString &text);

    QLineEdit *m_search = nullptr;
    QListWidget *m_list = nullptr;
};
