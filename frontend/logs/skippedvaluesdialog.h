#pragma once

#include "frontend/logs/skippedvalues.h"

#include <QDialog>

class QLabel;
class QTableWidget;

// "Skipped Values": what the open logs held that could not be used, one row
// per value with the line it stood on, what it belonged to and how it read.
// It stays open beside the window.
class SkippedValuesDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column
    {
        LogColumn,
        WhatColumn,
        LineColumn,
        CodeColumn,
        ValueColumn,
        ColumnCount
    };

    explicit SkippedValuesDialog(QWidget *parent = nullptr);

    // One list per log; `name` is the log's file name.
    struct Source
    {
        QString name;
        const SkippedValues *values = nullptr;
    };
    void setValues(const QList<Source> &sources);
    QTableWidget *table() const { return m_table; }
    QString summary() const;

private:
    QLabel *m_summary = nullptr;
    QTableWidget *m_table = nullptr;
};
