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
    label->setToolTip(tr("15205: the board's run number, as in the file and the short log.\n"
                         "#293: the 293rd run of the graphs.\n"
                         "2019-05-10 14:30: the first run at or after that time."));
    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("runInput"));
    m_input->setPlaceholderText(tr("e.g. 15205, #293 or 2019-05-10 14:30"));
    m_input->setMinimumWidth(320);
    label->setBuddy(m_input);
    m_span = new QLabel(this);
    m_span->setObjectName(QStringLiteral("runSpan"));
    m_span->setWordWrap(true);
    layout->addWidget(label);
    layout->addWidget(m_input);
    layout->addWidget(m_span);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("runProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_problem->hide();
    layout->addWidget(m_problem);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *go = buttons->addButton(tr("Go"), QDialogButtonBox::AcceptRole);
    m_go = go;
    go->setDefault(true);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    // Nothing typed names no run: Go waits for a number or a date.
    go->setEnabled(false);
    connect(m_input, &QLineEdit::textChanged, go, [this, go](const QString &text) {
        go->setEnabled(!text.trimmed().isEmpty());
        m_problem->hide();
    });
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

QString GoToRunDialog::problem() const
{
    return m_problem->isHidden() ? QString() : m_problem->text();
}

void GoToRunDialog::accept()
{
    const QString problem = m_check ? m_check(input()) : QString();
    if (problem.isEmpty()) {
        QDialog::accept();
        return;
    }
    m_problem->setText(problem);
    m_problem->show();
    m_input->setFocus();
    m_input->selectAll();
}
