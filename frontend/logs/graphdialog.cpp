#include "frontend/logs/graphdialog.h"

#include "frontend/logs/plotgraph.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>

namespace {
constexpr QSize kButtonSize(44, 44);
constexpr QSize kIconSize(32, 32);

QPushButton *floatingButton(QWidget *parent, const char *name, const char *icon, QPoint at)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(QLatin1String(icon)));
    button->setIconSize(kIconSize);
    button->setGeometry(QRect(at, kButtonSize));
    return button;
}
} // namespace

GraphDialog::GraphDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("GraphDialog"));
    setWindowTitle(tr("Single Event Graph"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(640, 480);

    auto *grid = new QGridLayout(this);
    auto *row = new QHBoxLayout;
    grid->addLayout(row, 0, 0);
    m_graph = new PlotGraph(this, tr("Events"), tr("Commands"));
    m_graph->setObjectName(QStringLiteral("singleEventGraph"));
    row->addWidget(m_graph);

    // The buttons float over the plot's top corners rather than taking room
    // from it.
    m_prev = floatingButton(m_graph, "btnPrevGraph", ":/images/arrow-left-icon.png", {9, 7});
    m_next = floatingButton(m_graph, "btnNextGraph", ":/images/arrow-right-icon.png", {567, 8});
}
