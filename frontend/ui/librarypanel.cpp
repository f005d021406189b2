#include "frontend/ui/librarypanel.h"

#include "frontend/library/librarycontroller.h"
#include "frontend/library/libraryindexer.h"
#include "frontend/library/librarymodel.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

using frontend::LibraryModel;

namespace {

// Rows the list shows at least and at most: it never takes the room Hex
// File Info needs below it; it scrolls.
constexpr int kMinVisibleRows = 2;
constexpr int kMaxVisibleRows = 6;
constexpr int kHintRows = 5;
constexpr int kMargin = 8;
constexpr int kRowPadding = 6;
// The file, date and signature columns fit their texts up to these; the
// reasons have the rest.
constexpr int kMaxFileColumnWidth = 230;
constexpr int kMaxSignatureColumnWidth = 170;

// The file of the board type's last good update stands out.
class LastUsedDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(LibraryModel::LastUsedRole).toBool())
            option->font.setBold(true);
    }
};

} // namespace

// Asks for as many rows as it is told: a few while a file is being chosen,
// the least while Hex File Info (with its notes) needs the room.
class CompactTreeView : public QTreeView
{
public:
    using QTreeView::QTreeView;

    void setHintRows(int rows)
    {
        m_hintRows = rows;
        updateGeometry();
    }
    QSize sizeHint() const override
    {
        return {QTreeView::sizeHint().width(),
                minimumHeight() + (m_hintRows - kMinVisibleRows) * rowHeightGuess()};
    }

private:
    int rowHeightGuess() const { return fontMetrics().height() + kRowPadding; }
    int m_hintRows = kHintRows;
};

LibraryPanel::LibraryPanel(frontend::LibraryController &controller, QWidget *parent)
    : QGroupBox(parent)
    , m_controller(controller)
{
    setObjectName(QStringLiteral("groupBoxLibrary"));
    auto *layout = new QVBoxLayout(this);
    // The Flashing tab is full: little room around the list.
    layout->setContentsMargins(kMargin, kMargin / 2, kMargin, kMargin / 2);
    layout->setSpacing(kMargin / 2);

    m_compactView = new CompactTreeView(this);
    m_view = m_compactView;
    m_view->setObjectName(QStringLiteral("treeViewLibrary"));
    m_view->setModel(controller.model());
    m_view->setItemDelegate(new LastUsedDelegate(m_view));
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTextElideMode(Qt::ElideRight);
    m_view->header()->setStretchLastSection(true);
    m_view->header()->setSectionsMovable(false);
    connect(controller.model(), &QAbstractItemModel::modelReset, this, &LibraryPanel::fitColumns);
    const int rowHeight = m_view->fontMetrics().height() + kRowPadding;
    const int chrome = m_view->header()->sizeHint().height() + 2 * m_view->frameWidth();
    m_view->setMinimumHeight(chrome + kMinVisibleRows * rowHeight);
    m_view->setMaximumHeight(chrome + kMaxVisibleRows * rowHeight);
    layout->addWidget(m_view);

    auto *bar = new QHBoxLayout();
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("labelLibraryState"));
    m_state->setWordWrap(true);
    bar->addWidget(m_state, 1);
    m_showAll = new QCheckBox(this);
    m_showAll->setObjectName(QStringLiteral("checkBoxLibraryAll"));
    bar->addWidget(m_showAll);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("btnLibraryCancel"));
    m_cancel->hide();
    bar->addWidget(m_cancel);
    m_add = new QPushButton(this);
    m_add->setObjectName(QStringLiteral("btnAddToLibrary"));
    bar->addWidget(m_add);
    layout->addLayout(bar);

    connect(m_view, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { rowClicked(index.row()); });
    // Enter on the keyboard; a double click also gets here.
    connect(m_view, &QTreeView::activated, this,
            [this](const QModelIndex &index) { rowClicked(index.row()); });
    connect(m_showAll, &QCheckBox::toggled, &m_controller,
            &frontend::LibraryController::setShowAll);
    connect(m_add, &QPushButton::clicked, this, &LibraryPanel::addRequested);
    connect(m_cancel, &QPushButton::clicked, m_controller.indexer(),
            &frontend::LibraryIndexer::cancel);
    connect(&m_controller, &frontend::LibraryController::stateChanged, this,
            &LibraryPanel::showState);

    retranslateUi();
    showState();
}

void LibraryPanel::retranslateUi()
{
    setTitle(tr("Firmware Library"));
    m_showAll->setText(tr("All files"));
    m_showAll->setToolTip(tr("List every file of the library, also those for other boards and "
                             "those that fit none, each with what it is for or why not."));
    m_add->setText(tr("Add to library…"));
    m_add->setToolTip(tr("Copy a HEX file (and its signature FILE.hex.sig) into your firmware "
                         "library. HEX files dropped onto the window are added too."));
    m_cancel->setText(tr("Cancel"));
}

void LibraryPanel::setCompact(bool compact)
{
    m_compactView->setHintRows(compact ? kMinVisibleRows : kHintRows);
}

void LibraryPanel::fitColumns()
{
    const std::pair<int, int> columns[] = {
        {LibraryModel::FileColumn, kMaxFileColumnWidth},
        {LibraryModel::DateColumn, QWIDGETSIZE_MAX},
        {LibraryModel::SignatureColumn, kMaxSignatureColumnWidth}};
    for (const auto &[column, most] : columns) {
        m_view->resizeColumnToContents(column);
        // Bold rows are wider than the view measures.
        const int width =
            m_view->columnWidth(column) + m_view->fontMetrics().averageCharWidth() * 2;
        m_view->setColumnWidth(column, qMin(width, most));
    }
}

void LibraryPanel::showState()
{
    m_state->setText(m_controller.stateText());
    const QStringList notes = m_controller.model()->libraryIndex().notes;
    m_state->setToolTip(notes.join(QLatin1Char('\n')));
    m_cancel->setVisible(m_controller.isIndexing());
    if (!m_controller.canLoad())
        m_view->clearSelection();
}

void LibraryPanel::rowClicked(int row)
{
    const frontend::LibraryEntry *entry = m_controller.model()->entryAt(row);
    if (!entry)
        return;
    const QString path = entry->path;
    if (path == m_lastPath && m_lastClick.isValid() &&
        m_lastClick.elapsed() < QApplication::doubleClickInterval())
        return;
    if (m_controller.choose(row)) {
        m_lastPath = path;
        m_lastClick.start();
    }
}
