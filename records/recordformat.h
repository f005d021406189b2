#pragma once

#include "records/updaterecord.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace records {

// How records are shown and exported: pure functions, shared by the
// service-record window and the command-line flasher.
class RecordFormat
{
    Q_DECLARE_TR_FUNCTIONS(RecordFormat)

public:
    // The line shown where a table would be when nothing was recorded.
    static QString emptyText();

    // The columns of a table of records, in the order of toText(): started,
    // duration, result, verified, board, board name, file, size, MD5, erase,
    // retries, port, user, host, program, error, file notes, source,
    // signature.
    static QStringList columnTitles();

    // Translated words for the user, and fixed keys for files and scripts.
    static QString stateText(RecordState state);
    static QString stateKey(RecordState state);
    static QString eraseText(EraseMode erase);
    static QString eraseKey(EraseMode erase);
    static QString verifyText(VerifyResult verify);
    // "" for None; what the file stores and the CSV shows.
    static QString verifyKey(VerifyResult verify);
    static VerifyResult verifyFromKey(const QString &key);
    // Empty for an unknown count.
    static QString retriesText(int retries);
    // "Library" or "Other file"; empty when not known.
    static QString sourceText(const ImageOrigin &origin);
    // "Signed by NAME", "Unsigned", "Damaged signature", ...; empty when
    // not known.
    static QString signatureText(const ImageOrigin &origin);
    // "" for Unknown; what the file stores and the CSV shows.
    static QString signatureKey(SignatureState state);
    static SignatureState signatureFromKey(const QString &key);

    // "< 1 s", "42 s", "3 min 05 s", "1 h 02 min"; empty for -1.
    static QString duration(qint64 ms);
    // Size in KiB with one decimal, in the locale's digits; empty for -1.
    static QString sizeKiB(qint64 bytes, const QLocale &locale = QLocale::c());
    // The first eight digits and an ellipsis; enough to tell files apart.
    static QString shortMd5(const QString &md5);
    // The file notes on one line, separated by semicolons.
    static QString notesLine(const QString &notes);
    // Local time, to the second.
    static QString timestamp(const QDateTime &at);

    // RFC 4180: a header line, then one line per record, CRLF line ends,
    // UTF-8; a field holding a comma, quote or line break is quoted and its
    // quotes doubled. A text cell that a spreadsheet would run as a formula
    // (starting with = + - @, tab or carriage return) gets a leading '.
    // `byteOrderMark` lets spreadsheet programs recognise the encoding.
    static QByteArray toCsv(const QList<UpdateRecord> &records, bool byteOrderMark = false);

    // A table for a terminal: aligned columns, one line per record, newest
    // first as given; the long texts (error, file notes) and the file's source
    // and signature end the line.
    // emptyText() when there are no records.
    static QString toText(const QList<UpdateRecord> &records);

    // Rows as aligned columns for a terminal (the first row is the titles),
    // control characters replaced by `control`, no blanks at line ends.
    static QString alignedTable(QList<QStringList> rows, QChar control = QLatin1Char(' '));
};

} // namespace records
