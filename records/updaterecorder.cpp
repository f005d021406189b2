#include "records/updaterecorder.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>

#include <utility>

namespace records {

UpdateRecorder::UpdateRecorder(const QString &program, const QString &databasePath)
    : m_program(program)
    , m_databasePath(databasePath)
{}

UpdateRecorder::~UpdateRecorder()
{
    // Whoever is going away now cannot show a message any more: a failure
    // is only logged.
    m_onProblem = nullptr;
    if (isRecording())
        finish(UpdateResult::AbortedByClosing);
}

void UpdateRecorder::imageSent(const QString &path, const QString &fileNotes,
                               const ImageOrigin &origin)
{
    m_imagePath = path;
    m_imageNotes = fileNotes;
    m_imageOrigin = origin;
    m_imageSize = -1;
    m_imageMd5.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QCryptographicHash md5(QCryptographicHash::Md5);
    if (!md5.addData(&file))
        return;
    m_imageSize = file.size();
    m_imageMd5 = QString::fromLatin1(md5.result().toHex());
}

bool UpdateRecorder::ensureOpen()
{
    if (m_store && m_store->isOpen())
        return true;
    m_store = std::make_unique<ServiceRecord>();
    const bool opened =
        m_databasePath.isEmpty() ? m_store->openDefault() : m_store->open(m_databasePath);
    if (!m_store->movedAsidePath().isEmpty())
        report(m_store->movedAsideNotice());
    if (!opened) {
        report(tr("This update is not entered in the service record.\n%1")
                   .arg(m_store->errorString()));
        m_store.reset();
    }
    return opened;
}

bool UpdateRecorder::begin(const QString &port, const QString &boardId, const QString &boardName,
                           EraseMode erase)
{
    if (isRecording())
        return true;
    m_lastError.clear();
    m_verify = VerifyResult::None;
    m_retries = -1;
    if (!ensureOpen())
        return false;
    UpdateStart start;
    start.program = m_program;
    start.port = port;
    start.boardId = boardId;
    start.boardName = boardName;
    start.filePath = m_imagePath;
    start.fileSize = m_imageSize;
    start.fileMd5 = m_imageMd5;
    start.fileNotes = m_imageNotes;
    start.origin = m_imageOrigin;
    start.erase = erase;
    m_id = m_store->beginUpdate(start);
    if (m_id < 0) {
        report(tr("This update is not entered in the service record.\n%1")
                   .arg(m_store->errorString()));
        return false;
    }
    return true;
}

void UpdateRecorder::noteError(const QString &text)
{
    if (isRecording() && !text.isEmpty())
        m_lastError = text;
}

void UpdateRecorder::noteVerify(VerifyResult verify)
{
    if (isRecording())
        m_verify = verify;
}

void UpdateRecorder::noteRetries(int retries)
{
    if (isRecording())
        m_retries = retries;
}

bool UpdateRecorder::finish(UpdateResult result, const QString &errorText)
{
    if (!isRecording())
        return false;
    const qint64 id = std::exchange(m_id, -1);
    const QString text = errorText.isEmpty() ? m_lastError : errorText;
    m_lastError.clear();
    if (!m_store || !m_store->finishUpdate(id, result, text, m_verify, m_retries)) {
        report(tr("The end of this update is not entered in the service record.\n%1")
                   .arg(m_store ? m_store->errorString() : QString()));
        return false;
    }
    return true;
}

void UpdateRecorder::report(const QString &text)
{
    qWarning().noquote() << "[UpdateRecorder]" << text;
    if (m_onProblem)
        m_onProblem(text);
}

} // namespace records
