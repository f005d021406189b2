#pragma once

#include <QDialog>

class QDateTimeEdit;
class QLabel;
class QPushButton;

// Asks for the date and time at which a full log ended; the runs are dated
// backwards from it.
class DateTimeDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DateTimeDialog(QWidget *parent = nullptr);

    void setDateTime(const QDateTime &dateTime);
    QDateTime dateTime() const;

    QDateTimeEdit *dateTimeEdit() const { return m_edit; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QLabel *m_label = nullptr;
    QDateTimeEdit *m_edit = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
