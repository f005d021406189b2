#include "frontend/logs/skippedvaluesdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

SkippedValuesDialog::SkippedValuesDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SkippedValuesDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(tr("Skipped Values"));
    resize(820, 360);
    auto *layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("skippedValuesTable"));
    m_table->setHorizontalHeaderLabels(
        {tr("Log"), tr("What"), tr("Line"), tr("Code"), tr("Value as written")});
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SkippedValuesDialog::setValues(const QList<Source> &sources)
{
    QStringList summaries;
    int rows = 0;
    for (const Source &source : sources)
        rows += int(source.values->entries().size());
    m_table->setRowCount(rows);
    int row = 0;
    for (const Source &source : sources) {
        const SkippedValues &values = *source.values;
        if (values.isEmpty())
            continue;
        QString line = tr("%1: %2.").arg(source.name, values.summary());
        if (values.entries().size() < values.total())
            line += QLatin1Char(' ') + tr("The first %1 are listed.").arg(values.entries().size());
        summaries.append(line);
        for (const SkippedValues::Entry &entry : values.entries()) {
            auto *number = new QTableWidgetItem;
            number->setData(Qt::DisplayRole, entry.line);
            m_table->setItem(row, LogColumn, new QTableWidgetItem(source.name));
            m_table->setItem(row, WhatColumn,
                             new QTableWidgetItem(SkippedValues::kindText(entry.kind)));
            m_table->setItem(row, LineColumn, number);
            m_table->setItem(row, CodeColumn, new QTableWidgetItem(entry.code));
            m_table->setItem(row, ValueColumn, new QTableWidgetItem(entry.raw));
            ++row;
        }
    }
    m_summary->setText(summaries.isEmpty() ? tr("Nothing was skipped.")
                                           : summaries.join(QLatin1Char('\n')));
    m_table->resizeColumnsToContents();
}

QString SkippedValuesDialog::summary() const
{
    return m_summary->text();
}
