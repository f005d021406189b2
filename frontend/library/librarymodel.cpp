#include "frontend/library/librarymodel.h"

#include "frontend/core/imagereport.h"

#include <QDir>
#include <QLocale>

namespace frontend {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm");
// The list shows the day; the tooltip the time as well.
const QString kDayFormat = QStringLiteral("yyyy-MM-dd");
constexpr QChar kMark(0x2605); // black star

QString boardText(const BoardFit &fit)
{
    return fit.boardName.isEmpty() ? fit.boardId
                                   : QStringLiteral("%1 (%2)").arg(fit.boardId, fit.boardName);
}

} // namespace

LibraryModel::LibraryModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

void LibraryModel::setIndex(const LibraryIndex &index)
{
    m_index = index;
    rebuild();
}

void LibraryModel::setBoard(const QString &boardId)
{
    if (m_board == boardId)
        return;
    m_board = boardId;
    rebuild();
}

void LibraryModel::setShowAll(bool all)
{
    if (m_showAll == all)
        return;
    m_showAll = all;
    rebuild();
}

void LibraryModel::setSignedOnly(bool on)
{
    if (m_signedOnly == on)
        return;
    m_signedOnly = on;
    rebuild();
}

void LibraryModel::setLastUsedMd5(const QString &md5)
{
    if (m_lastUsedMd5 == md5)
        return;
    m_lastUsedMd5 = md5;
    rebuild();
}

void LibraryModel::rebuild()
{
    beginResetModel();
    m_rows.clear();
    for (int i = 0; i < m_index.entries.size(); ++i) {
        const LibraryEntry &entry = m_index.entries.at(i);
        const bool forBoard = !m_board.isEmpty() && entry.fitFor(m_board);
        if (forBoard || m_showAll)
            m_rows << i;
    }
    endResetModel();
}

const LibraryEntry *LibraryModel::entryAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return nullptr;
    return &m_index.entries.at(m_rows.at(row));
}

bool LibraryModel::isUsable(int row) const
{
    const LibraryEntry *entry = entryAt(row);
    return entry && !m_board.isEmpty() && entry->usableFor(m_board, m_signedOnly);
}

int LibraryModel::rowOf(const QString &path) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (entryAt(row)->path == path)
            return row;
    }
    return -1;
}

int LibraryModel::boardFileCount() const
{
    int count = 0;
    for (const LibraryEntry &entry : m_index.entries)
        count += entry.fitFor(m_board) ? 1 : 0;
    return m_board.isEmpty() ? 0 : count;
}

int LibraryModel::usableCount() const
{
    int count = 0;
    for (const LibraryEntry &entry : m_index.entries)
        count += entry.usableFor(m_board, m_signedOnly) ? 1 : 0;
    return m_board.isEmpty() ? 0 : count;
}

bool LibraryModel::lastUsed(const LibraryEntry &entry) const
{
    return !m_lastUsedMd5.isEmpty() && entry.md5 == m_lastUsedMd5 && !m_board.isEmpty() &&
           entry.fitFor(m_board);
}

int LibraryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int LibraryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString LibraryModel::notesText(const LibraryEntry &entry) const
{
    if (!m_board.isEmpty()) {
        if (const BoardFit *fit = entry.fitFor(m_board)) {
            const QString reason = entry.reasonFor(m_board, m_signedOnly);
            if (!reason.isEmpty())
                return reason;
            QString text = tr("%1, %2 %")
                               .arg(rangeText({fit->programFirst, fit->programLast}))
                               .arg(QLocale().toString(fit->share(), 'f', 1));
            if (!fit->notes.isEmpty())
                text += QLatin1Char(' ') + fit->notes;
            return text;
        }
    }
    if (!entry.problem.isEmpty())
        return entry.problem;
    QStringList parts;
    for (const BoardFit &fit : entry.boards)
        parts << (fit.usable ? tr("for %1").arg(boardText(fit))
                             : tr("for %1, but %2").arg(boardText(fit), fit.problem));
    return parts.join(QStringLiteral("; "));
}

QString LibraryModel::toolTip(const LibraryEntry &entry) const
{
    const QLocale locale;
    QStringList lines{QDir::toNativeSeparators(entry.path)};
    if (entry.origin == LibraryFolder::Origin::Samples)
        lines << tr("Sample firmware shipped with the program (read-only).");
    if (entry.link)
        lines << tr("A link in the library folder; the file it leads to is read, never changed.");
    if (entry.size >= 0)
        lines << tr("Size: %1 bytes").arg(locale.toString(entry.size));
    if (!entry.md5.isEmpty())
        lines << tr("MD5: %1").arg(entry.md5);
    if (entry.modified.isValid())
        lines << tr("Date: %1").arg(entry.modified.toString(kDateFormat));
    if (!entry.problem.isEmpty())
        lines << entry.problem;
    for (const BoardFit &fit : entry.boards)
        lines << (fit.usable
                      ? tr("Board %1: passes the check; programs %2, %3 % of the program "
                           "area")
                            .arg(boardText(fit), rangeText({fit.programFirst, fit.programLast}))
                            .arg(locale.toString(fit.share(), 'f', 1))
                      : tr("Board %1: %2").arg(boardText(fit), fit.problem));
    if (entry.signature)
        lines << entry.signature->infoLine();
    if (lastUsed(entry))
        lines << tr("The last good update of this board type wrote this file.");
    return lines.join(QLatin1Char('\n'));
}

QVariant LibraryModel::data(const QModelIndex &index, int role) const
{
    const LibraryEntry *entry = entryAt(index.row());
    if (!entry || index.column() < 0 || index.column() >= ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        switch (Column(index.column())) {
        case FileColumn: {
            QString name = entry->name;
            if (entry->origin == LibraryFolder::Origin::Samples)
                name = tr("%1 (sample)").arg(name);
            return lastUsed(*entry) ? QString(kMark) + QLatin1Char(' ') + name : name;
        }
        case DateColumn:
            return entry->modified.isValid() ? entry->modified.toString(kDayFormat) : QString();
        case SignatureColumn:
            return entry->signature ? entry->signature->shortText() : QString();
        case NotesColumn:
            return notesText(*entry);
        case ColumnCount:
            break;
        }
        return QVariant();
    case Qt::ToolTipRole:
        return toolTip(*entry);
    case PathRole:
        return entry->path;
    case UsableRole:
        return isUsable(index.row());
    case LastUsedRole:
        return lastUsed(*entry);
    default:
        return QVariant();
    }
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (Column(section)) {
    case FileColumn:
        return tr("File");
    case DateColumn:
        return tr("Date");
    case SignatureColumn:
        return tr("Signature");
    case NotesColumn:
        return tr("Program area, or why not");
    case ColumnCount:
        break;
    }
    return QVariant();
}

Qt::ItemFlags LibraryModel::flags(const QModelIndex &index) const
{
    if (!entryAt(index.row()))
        return Qt::NoItemFlags;
    // Without a board every file is shown but none is chosen; with one,
    // those it cannot take are greyed.
    if (m_board.isEmpty())
        return Qt::ItemIsEnabled;
    return isUsable(index.row()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace frontend
