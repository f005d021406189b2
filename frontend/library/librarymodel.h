#pragma once

#include "frontend/library/libraryindex.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace frontend {

// The library as the Flashing tab lists it: with a board connected, the
// files made for it, newest first, those that cannot be flashed with their
// reason and not choosable, the one the board type was last updated with
// marked; otherwise (or with "all files") every file with what it is for.
// No widgets: the view is the window's.
class LibraryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        FileColumn,
        DateColumn,
        SignatureColumn,
        NotesColumn,
        ColumnCount
    };
    enum Role
    {
        PathRole = Qt::UserRole + 1,
        UsableRole,   // can be loaded for the connected board
        LastUsedRole, // the board type was last updated with it
    };

    explicit LibraryModel(QObject *parent = nullptr);

    void setIndex(const LibraryIndex &index);
    const LibraryIndex &libraryIndex() const { return m_index; }
    // The connected board's identifier; empty when none is.
    void setBoard(const QString &boardId);
    const QString &board() const { return m_board; }
    // With a board: list the files for other boards and for none as well.
    void setShowAll(bool all);
    bool showAll() const { return m_showAll; }
    void setSignedOnly(bool on);
    // The MD5 of the file of the board's last good update.
    void setLastUsedMd5(const QString &md5);

    // The entry on `row`; null outside.
    const LibraryEntry *entryAt(int row) const;
    bool isUsable(int row) const;
    // The row of `path`; -1 when it is not listed.
    int rowOf(const QString &path) const;
    // Files listed for the board, and how many of them can be flashed.
    int boardFileCount() const;
    int usableCount() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void rebuild();
    bool lastUsed(const LibraryEntry &entry) const;
    QString notesText(const LibraryEntry &entry) const;
    QString toolTip(const LibraryEntry &entry) const;

    LibraryIndex m_index;
    QList<int> m_rows; // into m_index.entries
    QString m_board;
    bool m_showAll = false;
    bool m_signedOnly = false;
    QString m_lastUsedMd5;
};

} // namespace frontend
