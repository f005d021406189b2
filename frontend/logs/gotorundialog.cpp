#include "frontend/logs/gotorundialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

GoToRunDialog::GoToRunDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("GoToRunDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(tr("Go to Run"));

    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(tr("Run number or date:"), this);
    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("runInput"));
    m_input->setPlaceholderText(tr("e.g. 1250 or 2019-05-10 14:30"));
    m_input->setMinimumWidth(320);
    label->setBuddy(m_input);
    m_span = new QLabel(this);
    m_span->setObjectName(QStringLiteral("runSpan"));
    m_span->setWordWrap(true);
    layout->addWidget(label);
    layout->addWidget(m_input);
    layout->addWidget(m_span);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *go = buttons->addButton(tr("Go"), QDialogButtonBox::AcceptRole);
    m_go = go;
    go->setDefault(true);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    // Nothing typed names no run: Go waits for a number or a date.
    go->setEnabled(false);
    connect(m_input, &QLineEdit::textChanged, go,
            [go](const QString &text) { go->setEnabled(!text.trimmed().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void GoToRunDialog::setSpan(const QString &text)
{
    m_span->setText(text);
}

QString GoToRunDialog::span() const
{
    return m_span->text();
}

void GoToRunDialog::setInput(const QString &text)
{
    m_input->setText(text);
    m_input->selectAll();
}

QString GoToRunDialog::input() const
{
    return m_input->text();
}
