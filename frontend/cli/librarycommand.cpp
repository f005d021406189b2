#include "frontend/cli/librarycommand.h"

#include "frontend/cli/consoleoutput.h"
#include "frontend/cli/exitstatus.h"
#include "frontend/core/imagereport.h"
#include "frontend/library/firmwarelibrary.h"
#include "records/recordformat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>

using namespace frontend;

namespace {

constexpr int kMsPerSecond = 1000;
const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm");

// What stands for a control character in a file name.
constexpr QChar kReplacement(u'\ufffd');

// File names come from anywhere: nothing in them may move the cursor.
QString terminalSafe(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            c = kReplacement;
    }
    return text;
}

QString originKey(LibraryFolder::Origin origin)
{
    return origin == LibraryFolder::Origin::Samples ? QStringLiteral("samples")
                                                    : QStringLiteral("user");
}

QString shownName(const LibraryEntry &entry)
{
    return entry.origin == LibraryFolder::Origin::Samples
               ? LibraryCommand::tr("%1 (sample)").arg(entry.name)
               : entry.name;
}

QString programText(const BoardFit &fit)
{
    return LibraryCommand::tr("%1, %2 %")
        .arg(rangeText({fit.programFirst, fit.programLast}))
        .arg(fit.share(), 0, 'f', 1);
}

QJsonArray boardsJson(const LibraryEntry &entry)
{
    QJsonArray boards;
    for (const BoardFit &fit : entry.boards)
        boards.append(QJsonObject{{QStringLiteral("id"), fit.boardId},
                                  {QStringLiteral("name"), fit.boardName},
                                  {QStringLiteral("usable"), fit.usable},
                                  {QStringLiteral("problem"), fit.problem},
                                  {QStringLiteral("programFirst"), qint64(fit.programFirst)},
                                  {QStringLiteral("programLast"), qint64(fit.programLast)},
                                  {QStringLiteral("programShare"), fit.share()}});
    return boards;
}

QJsonObject entryJson(const LibraryEntry &entry)
{
    return {{QStringLiteral("file"), entry.path},
            {QStringLiteral("name"), entry.name},
            {QStringLiteral("origin"), originKey(entry.origin)},
            {QStringLiteral("link"), entry.link},
            {QStringLiteral("size"), entry.size},
            {QStringLiteral("md5"), entry.md5},
            {QStringLiteral("modified"),
             entry.modified.isValid() ? entry.modified.toString(Qt::ISODate) : QString()},
            {QStringLiteral("boards"), boardsJson(entry)},
            {QStringLiteral("problem"), entry.problem},
            {QStringLiteral("signature"),
             entry.signature ? LibraryCommand::signatureJson(*entry.signature) : QJsonValue()}};
}

void result(ConsoleOutput &output, int status, const QString &text, const QElapsedTimer &clock)
{
    output.step(QString(),
                jsonEvent(QStringLiteral("result"),
                          {{QStringLiteral("ok"), status == int(ExitStatus::Ok)},
                           {QStringLiteral("status"), status},
                           {QStringLiteral("reason"), exitReasonKey(status)},
                           {QStringLiteral("text"), text},
                           {QStringLiteral("seconds"), double(clock.elapsed()) / kMsPerSecond}}));
}

} // namespace

QJsonObject LibraryCommand::signatureJson(const SignatureCheck &check)
{
    return signatureJson(check.state, check.keyName, check.keyId, check.signedAt, check.reason());
}

QJsonObject LibraryCommand::signatureJson(records::SignatureState state, const QString &key,
                                          const QString &keyId, const QDateTime &signedAt,
                                          const QString &reason)
{
    return {{QStringLiteral("status"), records::RecordFormat::signatureKey(state)},
            {QStringLiteral("key"), key},
            {QStringLiteral("keyId"), keyId},
            {QStringLiteral("signedAt"),
             signedAt.isValid() ? signedAt.toString(Qt::ISODate) : QString()},
            {QStringLiteral("reason"), reason}};
}

int LibraryCommand::list(const FlashOptions &options, bool signedOnly, ConsoleOutput &output,
                         const LibraryScanInput &input, const QString &recordPath)
{
    QElapsedTimer clock;
    clock.start();
    const LibraryIndex index = LibraryScanner::scan(input);
    const QString board = options.boardId;
    QString lastMd5;
    if (!board.isEmpty()) {
        QString notice;
        lastMd5 = FirmwareLibrary::lastUpdateMd5(board, recordPath, &notice);
        if (!notice.isEmpty())
            output.problem(notice, {});
    }

    QList<QStringList> rows;
    if (board.isEmpty())
        rows << QStringList{tr("Modified"), tr("File"), tr("Boards"), tr("Signature"), tr("Notes")};
    else
        rows << QStringList{tr("Modified"), tr("File"), tr("Flash"), tr("Signature"),
                            tr("Program area, or why not")};
    bool marked = false;
    for (const LibraryEntry &entry : index.entries) {
        const BoardFit *fit = board.isEmpty() ? nullptr : entry.fitFor(board);
        if (!board.isEmpty() && !fit)
            continue;
        const QString date =
            entry.modified.isValid() ? entry.modified.toString(kDateFormat) : QString();
        const QString signature = entry.signature ? entry.signature->shortText() : QString();
        QJsonObject event = entryJson(entry);
        if (board.isEmpty()) {
            QStringList ids;
            for (const BoardFit &f : entry.boards)
                ids << f.boardId;
            QString notes = entry.reason(signedOnly);
            if (notes.isEmpty() && entry.boards.size() == 1)
                notes = programText(entry.boards.constFirst());
            rows << QStringList{date, shownName(entry), ids.join(QStringLiteral(", ")), signature,
                                notes};
        } else {
            const bool usable = entry.usableFor(board, signedOnly);
            const bool last = !lastMd5.isEmpty() && entry.md5 == lastMd5;
            marked = marked || last;
            const QString reason = entry.reasonFor(board, signedOnly);
            rows << QStringList{
                date, last ? shownName(entry) + QStringLiteral(" *") : shownName(entry),
                usable ? tr("yes") : tr("no"), signature, usable ? programText(*fit) : reason};
            event.insert(QStringLiteral("usable"), usable);
            event.insert(QStringLiteral("reason"), reason);
            event.insert(QStringLiteral("lastUsed"), last);
        }
        output.step(QString(), jsonEvent(QStringLiteral("library-file"), event));
    }
    for (const QString &note : index.notes)
        output.step(QString(),
                    jsonEvent(QStringLiteral("library-note"), {{QStringLiteral("text"), note}}));

    if (!output.json()) {
        QString text;
        if (!board.isEmpty()) {
            const QString name = index.boardName(board);
            text +=
                (name.isEmpty() ? tr("Files for board %1, newest first:").arg(board)
                                : tr("Files for board %1 (%2), newest first:").arg(board, name)) +
                QLatin1Char('\n');
        }
        if (rows.size() == 1)
            text += (board.isEmpty() ? tr("The firmware library is empty.")
                                     : tr("No file in the firmware library is made for this "
                                          "board.")) +
                    QLatin1Char('\n');
        else
            text += records::RecordFormat::alignedTable(rows, kReplacement);
        if (marked)
            text += tr("* the file of this board type's last good update") + QLatin1Char('\n');
        text += tr("Library folder: %1")
                    .arg(QDir::toNativeSeparators(
                        input.folders.isEmpty() ? QString() : input.folders.constFirst().path)) +
                QLatin1Char('\n');
        if (signedOnly)
            text += tr("Only files signed with a trusted key can be flashed (setting \"Only "
                       "flash signed files\").") +
                    QLatin1Char('\n');
        for (const QString &note : index.notes)
            text += tr("Note: %1").arg(terminalSafe(note)) + QLatin1Char('\n');
        output.raw(text.toUtf8());
    }
    result(output, int(ExitStatus::Ok), QString(), clock);
    return int(ExitStatus::Ok);
}

int LibraryCommand::add(const FlashOptions &options, ConsoleOutput &output, const QString &folder,
                        const LibraryScanInput &input)
{
    QElapsedTimer clock;
    clock.start();
    const FirmwareLibrary::AddResult added = FirmwareLibrary::add(options.file, folder);
    if (!added.ok()) {
        const int status = added.status == FirmwareLibrary::AddResult::Status::CannotWrite
                               ? int(ExitStatus::LibraryUnwritable)
                               : int(ExitStatus::FileRefused);
        output.problem(
            QStringLiteral("velmo-flash: ") + added.message,
            jsonEvent(QStringLiteral("error"), {{QStringLiteral("status"), status},
                                                {QStringLiteral("reason"), exitReasonKey(status)},
                                                {QStringLiteral("text"), added.message}}));
        result(output, status, added.message, clock);
        return status;
    }
    const LibraryEntry entry =
        LibraryScanner::examine(added.path, QDir(folder).relativeFilePath(added.path),
                                LibraryFolder::Origin::User, input.boards, input.keys);
    QStringList lines{added.message};
    if (!entry.problem.isEmpty())
        lines << tr("It fits no board: %1.").arg(entry.problem);
    for (const BoardFit &fit : entry.boards)
        lines << (fit.usable ? tr("It can be flashed on board %1 (%2): it programs %3.")
                                   .arg(fit.boardId, fit.boardName, programText(fit))
                             : tr("It is made for board %1 (%2), but %3.")
                                   .arg(fit.boardId, fit.boardName, fit.problem));
    if (entry.signature)
        lines << entry.signature->infoLine();
    QJsonObject event = entryJson(entry);
    event.insert(QStringLiteral("file"), QFileInfo(options.file).absoluteFilePath());
    event.insert(QStringLiteral("path"), added.path);
    event.insert(QStringLiteral("added"),
                 added.status == FirmwareLibrary::AddResult::Status::Added);
    event.insert(QStringLiteral("signatureCopied"), added.signatureCopied);
    for (QString &line : lines)
        line = terminalSafe(line);
    output.step(lines.join(QLatin1Char('\n')), jsonEvent(QStringLiteral("library-added"), event));
    result(output, int(ExitStatus::Ok), added.message, clock);
    return int(ExitStatus::Ok);
}
