#include "frontend/logs/datetimedialog.h"

#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DateTimeDialog::DateTimeDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DateTimeDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(tr("Enter Log date"));
    resize(369, 152);

    auto *layout = new QVBoxLayout(this);
    m_label = new QLabel(tr("Enter End Log date:"), this);
    m_edit = new QDateTimeEdit(this);
    m_edit->setObjectName(QStringLiteral("dateTimeEdit"));
    m_edit->setCalendarPopup(true);
    layout->addWidget(m_label);
    layout->addWidget(m_edit);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_ok = new QPushButton(tr("Ok"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DateTimeDialog::setDateTime(const QDateTime &dateTime)
{
    m_edit->setDateTime(dateTime);
}

QDateTime DateTimeDialog::dateTime() const
{
    return m_edit->dateTime();
}
