#include "frontend/logs/rowfilterdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kLabelRole = Qt::UserRole;
constexpr int kSearchRole = Qt::UserRole + 1;

bool isRow(const QListWidgetItem *item)
{
    return item->flags().testFlag(Qt::ItemIsUserCheckable);
}
} // namespace

RowFilterDialog::RowFilterDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("RowFilterDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(tr("Filter Rows"));
    resize(460, 520);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Show only the rows ticked:"), this));
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("rowSearch"));
    m_search->setPlaceholderText(tr("Search code or description"));
    m_search->setClearButtonEnabled(true);
    layout->addWidget(m_search);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("rowList"));
    layout->addWidget(m_list);

    auto *ticks = new QHBoxLayout;
    auto *all = new QPushButton(tr("Select All"), this);
    all->setObjectName(QStringLiteral("selectAllRows"));
    auto *none = new QPushButton(tr("Select None"), this);
    none->setObjectName(QStringLiteral("selectNoRows"));
    ticks->addWidget(all);
    ticks->addWidget(none);
    ticks->addStretch();
    layout->addLayout(ticks);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *show = buttons->addButton(tr("Show"), QDialogButtonBox::AcceptRole);
    show->setDefault(true);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(m_search, &QLineEdit::textChanged, this, &RowFilterDialog::applySearch);
    connect(all, &QPushButton::clicked, this, [this] { setListedChecked(true); });
    connect(none, &QPushButton::clicked, this, [this] { setListedChecked(false); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void RowFilterDialog::setRows(const QList<RowChoice> &rows, const RowFilter &current)
{
    m_list->clear();
    QString group;
    for (const RowChoice &row : rows) {
        if (row.group != group) {
            group = row.group;
            auto *heading = new QListWidgetItem(group, m_list);
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            heading->setFlags(Qt::ItemIsEnabled);
        }
        const QString shown = row.label.trimmed();
        const bool described = !row.description.trimmed().isEmpty();
        auto *item = new QListWidgetItem(
            described ? shown + QStringLiteral("  \u2013  ") + row.description : shown, m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(current.shows(row.label) ? Qt::Checked : Qt::Unchecked);
        item->setData(kLabelRole, row.label);
        item->setData(kSearchRole, group + QLatin1Char(' ') + item->text());
    }
    applySearch(m_search->text());
}

RowFilter RowFilterDialog::filter() const
{
    RowFilter filter;
    bool all = true;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem *item = m_list->item(i);
        if (!isRow(item))
            continue;
        if (item->checkState() == Qt::Checked)
            filter.shown.insert(item->data(kLabelRole).toString());
        else
            all = false;
    }
    filter.active = !all;
    if (all)
        filter.shown.clear();
    return filter;
}

void RowFilterDialog::setListedChecked(bool checked)
{
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        if (isRow(item) && !item->isHidden())
            item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void RowFilterDialog::applySearch(const QString &text)
{
    const QString wanted = text.trimmed();
    // A heading stays while any of its rows is listed.
    QListWidgetItem *heading = nullptr;
    bool headingUsed = false;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        if (!isRow(item)) {
            if (heading)
                heading->setHidden(!headingUsed);
            heading = item;
            headingUsed = false;
            continue;
        }
        const bool match = wanted.isEmpty() ||
                           item->data(kSearchRole).toString().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!match);
        headingUsed = headingUsed || match;
    }
    if (heading)
        heading->setHidden(!headingUsed);
}
