#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Go to Run": one line for a run number or a date, with the span of the
// open log beside it so the technician knows what there is to find.
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

private:
    QLineEdit *m_input = nullptr;
    QLabel *m_span = nullptr;
    QPushButton *m_go = nullptr;
};
