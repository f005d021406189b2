#include "frontend/library/firmwarelibrary.h"

#include "common/datafolder.h"
#include "frontend/core/boardconfig.h"
#include "frontend/library/safefile.h"
#include "frontend/library/signaturecheck.h"
#include "records/servicerecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>

namespace frontend {

namespace {

using AddResult = FirmwareLibrary::AddResult;

constexpr int kMaxNameAttempts = 1000;

QString md5Of(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// A file of the folder (not its subfolders) with this content.
QString sameContent(const QString &folder, const QByteArray &bytes)
{
    const QString md5 = md5Of(bytes);
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        if (file.size() != bytes.size() || !LibraryScanner::isLibraryName(file.fileName()))
            continue;
        const SafeRead other = readRegularFile(file.filePath(), LibraryScanner::kMaxFileBytes);
        if (other.ok() && md5Of(other.bytes) == md5)
            return file.filePath();
    }
    return QString();
}

// "name (2).hex" for the second file called "name.hex".
QString numbered(const QString &folder, const QString &fileName, int n)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return folder + QLatin1Char('/') + fileName.left(dot) + QStringLiteral(" (%1)").arg(n) +
           fileName.mid(dot);
}

bool makeFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    // The data folder is private; its Firmware folder is too.
    if (folder.startsWith(velmo::dataFolderPath()))
        velmo::ensureDataFolder();
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void removeSignatures(const QString &target)
{
    QFile::remove(target + QLatin1String(SignatureCheck::kSuffix));
    QFile::remove(target + QLatin1String(SignatureCheck::kMinisignSuffix));
}

// Writes the signature beside `target` under the library's one name,
// replacing a stale one.
bool copySignature(const QString &source, const QString &target)
{
    const SafeRead signature =
        readRegularFile(SignatureCheck::signaturePath(source), minisign::kMaxSignatureFileBytes);
    if (!signature.ok())
        return false;
    QSaveFile out(target + QLatin1String(SignatureCheck::kSuffix));
    if (!out.open(QIODevice::WriteOnly) || out.write(signature.bytes) != signature.bytes.size() ||
        !out.commit())
        return false;
    QFile::remove(target + QLatin1String(SignatureCheck::kMinisignSuffix));
    return true;
}

} // namespace

QString FirmwareLibrary::userFolder()
{
    return velmo::dataFolderPath() + QLatin1Char('/') + QLatin1String(kUserFolderName);
}

QList<LibraryFolder> FirmwareLibrary::defaultFolders()
{
    return {{userFolder(), LibraryFolder::Origin::User},
            {QString::fromLatin1(kSampleFolder), LibraryFolder::Origin::Samples}};
}

QList<BoardConf> FirmwareLibrary::loadBoards(const QString &configFolder, QStringList *notes)
{
    static const QRegularExpression kName(QStringLiteral("^config-id-(.+)\\.ini$"));
    QList<BoardConf> boards;
    const QStringList names =
        QDir(configFolder).entryList({QStringLiteral("config-id-*.ini")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = kName.match(name);
        if (!match.hasMatch())
            continue;
        BoardConf board;
        board.id = match.captured(1);
        if (!readBoardConfig(board.id, board, configFolder)) {
            if (notes)
                *notes << tr("The board configuration %1 is incomplete: files are not tested "
                             "against it.")
                              .arg(QDir::toNativeSeparators(QDir(configFolder).filePath(name)));
            continue;
        }
        boards << board;
    }
    return boards;
}

LibraryScanInput FirmwareLibrary::defaultInput(const QString &configFolder)
{
    LibraryScanInput input;
    input.folders = defaultFolders();
    input.boards = loadBoards(configFolder, &input.notes);
    input.keys = TrustedKeys::load();
    return input;
}

bool FirmwareLibrary::contains(const QList<LibraryFolder> &folders, const QString &path)
{
    // By the path as given: a link in the folder belongs to the library,
    // whatever it leads to.
    const QString file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (const LibraryFolder &folder : folders) {
        const QString root = QDir::cleanPath(QFileInfo(folder.path).absoluteFilePath());
        if (file.startsWith(root + QLatin1Char('/')))
            return true;
        // The same folder reached by another way (a link, "..").
        const QString canonicalRoot = QFileInfo(folder.path).canonicalFilePath();
        const QString canonicalDir = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
        if (!canonicalRoot.isEmpty() && !canonicalDir.isEmpty() &&
            (canonicalDir == canonicalRoot ||
             canonicalDir.startsWith(canonicalRoot + QLatin1Char('/'))))
            return true;
    }
    return false;
}

QString FirmwareLibrary::lastUpdateMd5(const QString &boardId, const QString &recordPath,
                                       QString *notice)
{
    const QString path = recordPath.isEmpty() ? records::ServiceRecord::defaultPath() : recordPath;
    if (boardId.isEmpty() || !QFileInfo::exists(path))
        return QString();
    records::ServiceRecord store;
    const bool opened = store.open(path);
    if (notice)
        *notice = store.movedAsideNotice();
    if (!opened)
        return QString();
    records::RecordFilter filter;
    filter.boardId = boardId;
    for (const records::UpdateRecord &r : store.query(filter)) {
        if (r.state == records::RecordState::Ok && !r.fileMd5.isEmpty())
            return r.fileMd5;
    }
    return QString();
}

FirmwareLibrary::AddResult FirmwareLibrary::add(const QString &source, const QString &folder)
{
    AddResult result;
    const QFileInfo from(source);
    const QString name = from.fileName();
    if (!LibraryScanner::isLibraryName(name)) {
        result.status = AddResult::Status::NotHex;
        result.message =
            tr("%1 is not a .hex file: only HEX files go into the firmware library.").arg(name);
        return result;
    }
    const SafeRead read = readRegularFile(source, LibraryScanner::kMaxFileBytes);
    if (!read.ok()) {
        result.status = AddResult::Status::Unreadable;
        result.message = tr("%1 was not added to the firmware library: %2.")
                             .arg(name, LibraryScanner::readProblemText(read, from.isSymLink()));
        return result;
    }
    if (!makeFolder(folder)) {
        result.status = AddResult::Status::CannotWrite;
        result.message = tr("The firmware library folder %1 cannot be created.")
                             .arg(QDir::toNativeSeparators(folder));
        return result;
    }

    const QString existing = sameContent(folder, read.bytes);
    if (!existing.isEmpty()) {
        result.status = AddResult::Status::AlreadyThere;
        result.path = existing;
        // A signature that comes later is still welcome.
        if (!QFileInfo::exists(SignatureCheck::signaturePath(existing)))
            result.signatureCopied = copySignature(source, existing);
        result.message = tr("%1 is already in the firmware library as %2.")
                             .arg(name, QFileInfo(existing).fileName());
        return result;
    }

    // Written aside and renamed into place: the library never shows half a
    // file, and the rename never replaces one that appeared meanwhile.
    QTemporaryFile temp(folder + QStringLiteral("/.adding-XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open() || temp.write(read.bytes) != read.bytes.size() || !temp.flush()) {
        result.status = AddResult::Status::CannotWrite;
        result.message = tr("%1 could not be copied into the firmware library: %2.")
                             .arg(name, temp.errorString());
        return result;
    }
    if (read.modified.isValid())
        temp.setFileTime(read.modified, QFileDevice::FileModificationTime);
    temp.close();
    QString target = folder + QLatin1Char('/') + name;
    for (int n = 2; !QFile::rename(temp.fileName(), target); ++n) {
        if (!QFileInfo::exists(target) || n > kMaxNameAttempts) {
            result.status = AddResult::Status::CannotWrite;
            result.message = tr("%1 could not be copied into the firmware library folder %2.")
                                 .arg(name, QDir::toNativeSeparators(folder));
            return result;
        }
        target = numbered(folder, name, n);
    }
    temp.setAutoRemove(false); // it is the library's file now
    if (QFileInfo::exists(SignatureCheck::signaturePath(source)))
        result.signatureCopied = copySignature(source, target);
    else
        removeSignatures(target); // never someone else's
    result.status = AddResult::Status::Added;
    result.path = target;
    result.message = QFileInfo(target).fileName() == name
                         ? tr("%1 was added to the firmware library.").arg(name)
                         : tr("%1 was added to the firmware library as %2 (a different file of "
                              "that name is there).")
                               .arg(name, QFileInfo(target).fileName());
    return result;
}

} // namespace frontend
