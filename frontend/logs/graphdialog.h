#pragma once

#include <QDialog>

class PlotGraph;
class QPushButton;

// "Single Event Graph": the commands, events and alarms of one run in the
// order they happened, with buttons to step to the neighbouring runs.
class GraphDialog : public QDialog
{
    Q_OBJECT
public:
    explicit GraphDialog(QWidget *parent = nullptr);

    PlotGraph *singleEventGraph() const { return m_graph; }
    QPushButton *btnPrevGraph() const { return m_prev; }
    QPushButton *btnNextGraph() const { return m_next; }

private:
    PlotGraph *m_graph = nullptr;
    QPushButton *m_prev = nullptr;
    QPushButton *m_next = nullptr;
};
