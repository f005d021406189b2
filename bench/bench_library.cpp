// bench_library: indexing a firmware library of 1,000 files against the
// shipped board configurations (../configs/, run it from build/stage/bin):
// 600 variants of the VB-1234 sample (100 of them signed), 300 of the
// VB-2345 sample, 50 with a damaged record and 50 of junk. Prints the time
// of a first index, of the indexer as the window runs it (off the GUI thread,
// from refresh() to its result) and of a second index that finds the files
// unchanged, each against a reference measured in the same run: reading and
// hashing the same files, which any index has to do. The goal is a first
// index under 2 s. The files are in the page cache (just written): the
// figures are the program's own cost, not the disk's. Not a test.
#include "frontend/library/firmwarelibrary.h"
#include "frontend/library/libraryindexer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace frontend;

namespace {

constexpr int kFiles = 1000;
constexpr int kSigned = 100;
constexpr int kFor1234 = 600;
constexpr int kFor2345 = 300;
constexpr int kDamaged = 50;
constexpr double kGoalSeconds = 2.0;
constexpr double kMiB = 1024.0 * 1024.0;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The sample with the data byte of record `n` changed and its checksum made
// right: a different, sound file.
QByteArray variant(const QByteArray &hex, int n)
{
    QList<QByteArray> lines = hex.split('\n');
    int seen = 0;
    for (QByteArray &line : lines) {
        const QByteArray record = line.trimmed();
        if (!record.startsWith(":10") || record.mid(7, 2) != "00" || seen++ != n % 400)
            continue;
        QByteArray bytes = QByteArray::fromHex(record.mid(1));
        bytes[4] = char(quint8(bytes.at(4)) + 1 + n / 400);
        quint8 sum = 0;
        for (int i = 0; i + 1 < bytes.size(); ++i)
            sum = quint8(sum + quint8(bytes.at(i)));
        bytes[bytes.size() - 1] = char(quint8(-sum));
        line = ':' + bytes.toHex().toUpper() + (line.endsWith('\r') ? "\r" : "");
        break;
    }
    return lines.join('\n');
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double seconds(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString signing = QStringLiteral(VELMO_SIGNING_DATA "/");
    const QByteArray vb1234 = readAll(QStringLiteral("../firmware/vb1234-sample.hex"));
    const QByteArray vb2345 = readAll(QStringLiteral("../firmware/vb2345-sample.hex"));
    const QByteArray signature = readAll(signing + QStringLiteral("vb1234-sample.hex.sig"));
    if (vb1234.isEmpty() || vb2345.isEmpty() || signature.isEmpty()) {
        std::fprintf(stderr, "run from build/stage/bin: the samples or the fixtures are missing\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString library = dir.filePath(QStringLiteral("Firmware"));
    const QString keys = dir.filePath(QStringLiteral("Keys"));
    QDir().mkpath(library);
    QDir().mkpath(keys);
    write(keys + QStringLiteral("/acme-service.pub"), readAll(signing + "acme-service.pub"));
    qint64 bytes = 0;
    for (int i = 0; i < kFiles; ++i) {
        QByteArray content;
        if (i < kSigned)
            content = vb1234; // and its signature
        else if (i < kFor1234)
            content = variant(vb1234, i);
        else if (i < kFor1234 + kFor2345)
            content = variant(vb2345, i);
        else if (i < kFor1234 + kFor2345 + kDamaged)
            content = QByteArray(vb1234).replace(":10", ":1G");
        else
            content = QByteArray(2048 + i, char(i));
        const QString path = library + QStringLiteral("/fw-%1.hex").arg(i, 4, 10, QLatin1Char('0'));
        write(path, content);
        if (i < kSigned)
            write(path + QStringLiteral(".sig"), signature);
        bytes += content.size();
    }

    // The reference: every byte read and hashed once.
    QElapsedTimer clock;
    clock.start();
    QByteArray digests;
    for (const QFileInfo &info : QDir(library).entryInfoList({QStringLiteral("*.hex")}))
        digests += QCryptographicHash::hash(readAll(info.filePath()), QCryptographicHash::Md5);
    const double reference = seconds(clock);

    LibraryScanInput input;
    input.folders = {{library, LibraryFolder::Origin::User}};
    input.boards = FirmwareLibrary::loadBoards(QStringLiteral("../configs/"));
    input.keys = TrustedKeys::load({{keys, TrustedKey::Source::User}});
    LibraryCache cache;
    clock.restart();
    const LibraryIndex first = LibraryScanner::scan(input, &cache);
    const double cold = seconds(clock);

    int usable = 0;
    int signedFiles = 0;
    for (const LibraryEntry &entry : first.entries) {
        usable += entry.reason(false).isEmpty() ? 1 : 0;
        signedFiles += entry.isSigned() ? 1 : 0;
    }

    // As the window runs it: a scan on a thread of its own, from the request
    // to the result in the GUI thread's event loop.
    LibraryIndexer indexer;
    indexer.setFolders(input.folders);
    indexer.setKeyFolders({{keys, TrustedKey::Source::User}});
    QEventLoop loop;
    QObject::connect(&indexer, &LibraryIndexer::indexed, &loop, &QEventLoop::quit);
    clock.restart();
    indexer.refresh();
    loop.exec();
    const double threaded = seconds(clock);
    clock.restart();
    indexer.refresh();
    loop.exec();
    const double threadedAgain = seconds(clock);

    clock.restart();
    const LibraryIndex second = LibraryScanner::scan(input, &cache);
    const double warm = seconds(clock);

    std::printf("library of %d files (%.1f MiB) against %d board configurations: %d can be "
                "flashed, %d signed\n",
                int(first.entries.size()), double(bytes) / kMiB, int(input.boards.size()), usable,
                signedFiles);
    std::printf("  reference: read and MD5 of every file  %7.3f s\n", reference);
    std::printf("  first index                            %7.3f s  %5.1f x reference  (goal < %.0f "
                "s: %s)\n",
                cold, cold / reference, kGoalSeconds, cold < kGoalSeconds ? "met" : "MISSED");
    std::printf("  indexer off the GUI thread, first      %7.3f s  %5.1f x reference\n", threaded,
                threaded / reference);
    std::printf("  indexer again, files unchanged         %7.3f s  %5.2f x reference\n",
                threadedAgain, threadedAgain / reference);
    std::printf("  index again with the cache             %7.3f s  %5.2f x reference\n", warm,
                warm / reference);
    return second.entries.size() == first.entries.size() && cold < kGoalSeconds ? 0 : 1;
}
