#pragma once

#include "records/servicerecord.h"
#include "records/updaterecord.h"

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <memory>

namespace records {

// Follows one update at a time for a workflow and writes its record: the
// workflow reports the image it sent, the start, any daemon error and the
// outcome, and never has to deal with the database. Recording is secondary
// to flashing: a failure to write is reported once through the problem
// handler and the update goes on.
class UpdateRecorder
{
    Q_DECLARE_TR_FUNCTIONS(UpdateRecorder)

public:
    using ProblemHandler = std::function<void(const QString &text)>;

    // `program` names the writer in the records. The database (by default
    // the one in the per-user data folder) is opened at the first update.
    explicit UpdateRecorder(const QString &program, const QString &databasePath = QString());
    // An update still open when its program ends is recorded as aborted.
    ~UpdateRecorder();
    UpdateRecorder(const UpdateRecorder &) = delete;
    UpdateRecorder &operator=(const UpdateRecorder &) = delete;

    // Told what the user should know: a damaged record moved aside, or an
    // update that could not be recorded. Without one the text is logged.
    void setProblemHandler(ProblemHandler handler) { m_onProblem = std::move(handler); }

    // The image handed to the daemon. Its size and digest are taken now, so
    // a file changed on disk afterwards does not alter what the record says
    // was written. `fileNotes`: what the check found that is not written;
    // `origin`: whether it came from the library and who signed it.
    void imageSent(const QString &path, const QString &fileNotes = QString(),
                   const ImageOrigin &origin = ImageOrigin());

    // The update request went out. While an update is open a repeated start
    // is the same update and keeps its record. False when nothing could be
    // written.
    bool begin(const QString &port, const QString &boardId, const QString &boardName,
               EraseMode erase);
    // A daemon error during the update; the last one ends up in the record.
    void noteError(const QString &text);
    // What the read-back found, and the commands the daemon sent again.
    void noteVerify(VerifyResult verify);
    void noteRetries(int retries);
    // The outcome. An empty `errorText` takes the last noted error. Without
    // an open update (an outcome nobody asked for) nothing is written.
    bool finish(UpdateResult result, const QString &errorText = QString());

    bool isRecording() const { return m_id >= 0; }
    qint64 recordId() const { return m_id; }

private:
    bool ensureOpen();
    void report(const QString &text);

    QString m_program;
    QString m_databasePath;
    std::unique_ptr<ServiceRecord> m_store;
    QString m_imagePath;
    qint64 m_imageSize = -1;
    QString m_imageMd5;
    QString m_imageNotes;
    ImageOrigin m_imageOrigin;
    qint64 m_id = -1;
    QString m_lastError;
    VerifyResult m_verify = VerifyResult::None;
    int m_retries = -1;
    ProblemHandler m_onProblem;
};

} // namespace records
