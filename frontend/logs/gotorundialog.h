#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// "Go to Run": one line for a run number (the board's, or "#" and the place
// in the graphs) or a date, with the span of the open log beside it so the
// technician knows what there is to find.
class GoToRunDialog : public QDialog
{
    Q_OBJECT
public:
    explicit GoToRunDialog(QWidget *parent = nullptr);

    void setSpan(const QString &text);
    QString span() const;
    void setInput(const QString &text);
    QString input() const;
    QLineEdit *inputEdit() const { return m_input; }
    // "Go", enabled once something is typed.
    QPushButton *goButton() const { return m_go; }
    // Asked on Go: why the input names no run, or empty when it does. The
    // dialog shows the answer and stays open until there is none.
    void setCheck(std::function<QString(const QString &)> check) { m_check = std::move(check); }
    QString problem() const;

public slots:
    void accept() override;

private:
    std::function<QString(const QString &)> m_check;
    QLabel *m_problem = nullptr;
    QLineEdit *m_input = nullptr;
    QLabel *m_span = nullptr;
    QPushButton *m_go = nullptr;
};
