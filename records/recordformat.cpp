#include "records/recordformat.h"

#include <QFileInfo>
#include <QStringList>

namespace records {

namespace {

constexpr qint64 kMsPerSecond = 1000;
constexpr qint64 kSecondsPerMinute = 60;
constexpr qint64 kSecondsPerHour = 3600;
constexpr double kBytesPerKiB = 1024.0;
constexpr int kShortMd5Digits = 8;
constexpr int kColumnGap = 2;

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString csvCell(QString text)
{
    // A spreadsheet runs these as formulas, or as the start of one.
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && kFormulaStarts.contains(text.at(0)))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\""), QLatin1String("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

// One line per record and nothing a terminal would act on: control
// characters (line breaks, escape sequences) become blanks.
QString terminalSafe(const QString &text, QChar control)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            c = control;
    }
    return out;
}

QString zeroPadded(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString RecordFormat::emptyText()
{
    return tr("No updates recorded yet.");
}

QStringList RecordFormat::columnTitles()
{
    return {tr("Started"),    tr("Duration"),   tr("Result"),     tr("Verified"), tr("Board"),
            tr("Board name"), tr("File"),       tr("Size (KiB)"), tr("MD5"),      tr("Erase"),
            tr("Retries"),    tr("Port"),       tr("User"),       tr("Host"),     tr("Program"),
            tr("Error"),      tr("File notes"), tr("Source"),     tr("Signature")};
}

QString RecordFormat::stateText(RecordState state)
{
    switch (state) {
    case RecordState::Ok:
        return tr("OK");
    case RecordState::Failed:
        return tr("Failed");
    case RecordState::AbortedByClosing:
        return tr("Aborted");
    case RecordState::DaemonLost:
        return tr("Daemon lost");
    case RecordState::PortLost:
        return tr("Port lost");
    case RecordState::BrokerLost:
        return tr("Broker lost");
    case RecordState::Running:
        return tr("Running");
    case RecordState::Interrupted:
        return tr("Interrupted");
    }
    return QString();
}

QString RecordFormat::stateKey(RecordState state)
{
    switch (state) {
    case RecordState::Ok:
        return QStringLiteral("ok");
    case RecordState::Failed:
        return QStringLiteral("failed");
    case RecordState::AbortedByClosing:
        return QStringLiteral("aborted");
    case RecordState::DaemonLost:
        return QStringLiteral("daemon-lost");
    case RecordState::PortLost:
        return QStringLiteral("port-lost");
    case RecordState::BrokerLost:
        return QStringLiteral("broker-lost");
    case RecordState::Running:
        return QStringLiteral("running");
    case RecordState::Interrupted:
        return QStringLiteral("interrupted");
    }
    return QString();
}

QString RecordFormat::eraseText(EraseMode erase)
{
    return erase == EraseMode::Pages ? tr("Page erase") : tr("Erase all");
}

QString RecordFormat::eraseKey(EraseMode erase)
{
    return erase == EraseMode::Pages ? QStringLiteral("page-erase") : QStringLiteral("erase-all");
}

QString RecordFormat::verifyText(VerifyResult verify)
{
    switch (verify) {
    case VerifyResult::None:
        return QString();
    case VerifyResult::Ok:
        return tr("Verified");
    case VerifyResult::Mismatch:
        return tr("Differs");
    case VerifyResult::Unsupported:
        return tr("Not readable");
    case VerifyResult::Off:
        return tr("Off");
    case VerifyResult::Failed:
        return tr("Not completed");
    }
    return QString();
}

QString RecordFormat::verifyKey(VerifyResult verify)
{
    switch (verify) {
    case VerifyResult::None:
        break;
    case VerifyResult::Ok:
        return QStringLiteral("ok");
    case VerifyResult::Mismatch:
        return QStringLiteral("mismatch");
    case VerifyResult::Unsupported:
        return QStringLiteral("unsupported");
    case VerifyResult::Off:
        return QStringLiteral("off");
    case VerifyResult::Failed:
        return QStringLiteral("failed");
    }
    return QStringLiteral("");
}

VerifyResult RecordFormat::verifyFromKey(const QString &key)
{
    for (const VerifyResult v :
         {VerifyResult::Ok, VerifyResult::Mismatch, VerifyResult::Unsupported, VerifyResult::Off,
          VerifyResult::Failed})
        if (key == verifyKey(v))
            return v;
    return VerifyResult::None;
}

QString RecordFormat::retriesText(int retries)
{
    return retries < 0 ? QString() : QString::number(retries);
}

QString RecordFormat::sourceText(const ImageOrigin &origin)
{
    if (!origin.fromLibrary)
        return QString();
    return *origin.fromLibrary ? tr("Library") : tr("Other file");
}

QString RecordFormat::signatureText(const ImageOrigin &origin)
{
    switch (origin.signature) {
    case SignatureState::Unknown:
        break;
    case SignatureState::Unsigned:
        return tr("Unsigned");
    case SignatureState::Signed:
        return tr("Signed by %1").arg(origin.signer);
    case SignatureState::Damaged:
        return tr("Damaged signature");
    case SignatureState::OtherFile:
        return tr("Signature of another file");
    case SignatureState::UntrustedKey:
        return tr("Untrusted key");
    }
    return QString();
}

QString RecordFormat::signatureKey(SignatureState state)
{
    switch (state) {
    case SignatureState::Unknown:
        break;
    case SignatureState::Unsigned:
        return QStringLiteral("unsigned");
    case SignatureState::Signed:
        return QStringLiteral("signed");
    case SignatureState::Damaged:
        return QStringLiteral("damaged");
    case SignatureState::OtherFile:
        return QStringLiteral("other-file");
    case SignatureState::UntrustedKey:
        return QStringLiteral("untrusted-key");
    }
    return QStringLiteral("");
}

SignatureState RecordFormat::signatureFromKey(const QString &key)
{
    for (const SignatureState s :
         {SignatureState::Unsigned, SignatureState::Signed, SignatureState::Damaged,
          SignatureState::OtherFile, SignatureState::UntrustedKey})
        if (key == signatureKey(s))
            return s;
    return SignatureState::Unknown;
}

QString RecordFormat::duration(qint64 ms)
{
    if (ms < 0)
        return QString();
    if (ms < kMsPerSecond)
        return tr("< 1 s");
    const qint64 seconds = (ms + kMsPerSecond / 2) / kMsPerSecond;
    if (seconds < kSecondsPerMinute)
        return tr("%1 s").arg(seconds);
    if (seconds < kSecondsPerHour)
        return tr("%1 min %2 s")
            .arg(seconds / kSecondsPerMinute)
            .arg(zeroPadded(seconds % kSecondsPerMinute));
    const qint64 minutes = seconds / kSecondsPerMinute;
    return tr("%1 h %2 min")
        .arg(minutes / kSecondsPerMinute)
        .arg(zeroPadded(minutes % kSecondsPerMinute));
}

QString RecordFormat::sizeKiB(qint64 bytes, const QLocale &locale)
{
    if (bytes < 0)
        return QString();
    return locale.toString(double(bytes) / kBytesPerKiB, 'f', 1);
}

QString RecordFormat::shortMd5(const QString &md5)
{
    if (md5.size() <= kShortMd5Digits)
        return md5;
    return md5.left(kShortMd5Digits) + QChar(0x2026);
}

QString RecordFormat::notesLine(const QString &notes)
{
    return notes.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QStringLiteral("; "));
}

QString RecordFormat::timestamp(const QDateTime &at)
{
    return at.isValid() ? at.toLocalTime().toString(kTimeFormat) : QString();
}

QByteArray RecordFormat::toCsv(const QList<UpdateRecord> &records, bool byteOrderMark)
{
    static const QStringList kHeader = {
        QStringLiteral("id"),         QStringLiteral("started"),      QStringLiteral("finished"),
        QStringLiteral("duration_s"), QStringLiteral("result"),       QStringLiteral("board_id"),
        QStringLiteral("board_name"), QStringLiteral("file"),         QStringLiteral("size_bytes"),
        QStringLiteral("md5"),        QStringLiteral("erase"),        QStringLiteral("port"),
        QStringLiteral("user"),       QStringLiteral("host"),         QStringLiteral("program"),
        QStringLiteral("error"),      QStringLiteral("verify"),       QStringLiteral("retries"),
        QStringLiteral("file_notes"), QStringLiteral("from_library"), QStringLiteral("signature"),
        QStringLiteral("signer")};
    static const QString kLineEnd = QStringLiteral("\r\n");

    QString text = kHeader.join(QLatin1Char(',')) + kLineEnd;
    for (const UpdateRecord &r : records) {
        const qint64 ms = r.durationMs();
        const QStringList cells = {
            QString::number(r.id),
            timestamp(r.startedAt),
            timestamp(r.finishedAt),
            ms < 0 ? QString() : QString::number(double(ms) / kMsPerSecond, 'f', 1),
            stateKey(r.state),
            r.boardId,
            r.boardName,
            r.filePath,
            r.fileSize < 0 ? QString() : QString::number(r.fileSize),
            r.fileMd5,
            eraseKey(r.erase),
            r.port,
            r.user,
            r.host,
            r.program,
            r.errorText,
            verifyKey(r.verify),
            retriesText(r.retries),
            r.fileNotes,
            r.origin.fromLibrary ? QString::number(int(*r.origin.fromLibrary)) : QString(),
            signatureKey(r.origin.signature),
            r.origin.signer};
        QStringList quoted;
        quoted.reserve(cells.size());
        for (const QString &cell : cells)
            quoted << csvCell(cell);
        text += quoted.join(QLatin1Char(',')) + kLineEnd;
    }
    QByteArray out;
    if (byteOrderMark)
        out = QByteArrayLiteral("\xEF\xBB\xBF");
    out += text.toUtf8();
    return out;
}

QString RecordFormat::toText(const QList<UpdateRecord> &records)
{
    if (records.isEmpty())
        return emptyText() + QLatin1Char('\n');

    QList<QStringList> rows;
    rows << columnTitles();
    for (const UpdateRecord &r : records)
        rows << QStringList{timestamp(r.startedAt),
                            duration(r.durationMs()),
                            stateText(r.state),
                            verifyText(r.verify),
                            r.boardId,
                            r.boardName,
                            QFileInfo(r.filePath).fileName(),
                            sizeKiB(r.fileSize),
                            shortMd5(r.fileMd5),
                            eraseText(r.erase),
                            retriesText(r.retries),
                            r.port,
                            r.user,
                            r.host,
                            r.program,
                            r.errorText,
                            notesLine(r.fileNotes),
                            sourceText(r.origin),
                            signatureText(r.origin)};
    return alignedTable(std::move(rows));
}

QString RecordFormat::alignedTable(QList<QStringList> rows, QChar control)
{
    const int columns = int(rows.constFirst().size());
    QList<int> widths(columns, 0);
    for (QStringList &row : rows)
        for (int c = 0; c < columns; ++c) {
            row[c] = terminalSafe(row.at(c), control);
            widths[c] = qMax(widths.at(c), int(row.at(c).size()));
        }
    QString out;
    for (const QStringList &row : std::as_const(rows)) {
        QString line;
        for (int c = 0; c < columns; ++c) {
            if (c + 1 < columns)
                line += row.at(c).leftJustified(widths.at(c) + kColumnGap);
            else
                line += row.at(c);
        }
        // Empty text columns leave no blanks at the end.
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out += line + QLatin1Char('\n');
    }
    return out;
}

} // namespace records
