#pragma once

#include <QElapsedTimer>
#include <QGroupBox>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeView;
class CompactTreeView;

namespace frontend {
class LibraryController;
}

// The firmware library on the Flashing tab: the list of its model, a line
// about it, "All files", "Add to library…" and, while the library is read,
// Cancel. It shows what the controller says and hands clicks back.
class LibraryPanel : public QGroupBox
{
    Q_OBJECT

public:
    explicit LibraryPanel(frontend::LibraryController &controller, QWidget *parent = nullptr);

    QTreeView *view() const { return m_view; }
    QLabel *stateLabel() const { return m_state; }
    QCheckBox *showAllBox() const { return m_showAll; }
    QPushButton *addButton() const { return m_add; }

    // Leaves the room to what is shown below (a loaded file's info): the
    // list asks for its fewest rows and scrolls.
    void setCompact(bool compact);

signals:
    void addRequested();

private:
    void retranslateUi();
    void showState();
    void fitColumns();
    void rowClicked(int row);

    frontend::LibraryController &m_controller;
    QTreeView *m_view = nullptr;
    CompactTreeView *m_compactView = nullptr; // the same view
    QLabel *m_state = nullptr;
    QCheckBox *m_showAll = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_cancel = nullptr;
    // A double click is two clicks: the second does not load again.
    QString m_lastPath;
    QElapsedTimer m_lastClick;
};
