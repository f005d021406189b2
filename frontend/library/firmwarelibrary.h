#pragma once

#include "frontend/core/boardconf.h"
#include "frontend/library/libraryindex.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

namespace frontend {

// Where the firmware library lies and how files come into it. The user's
// folder "Firmware" in the per-user data folder is filled by "Add to
// library" (a copy, never a move); the sample firmware shipped with the
// program (../firmware/, found as ../configs/ is) is listed beside it,
// read-only. Links to files in the folders are followed, read-only; links
// to folders are not.
class FirmwareLibrary
{
    Q_DECLARE_TR_FUNCTIONS(FirmwareLibrary)

public:
    static constexpr const char *kUserFolderName = "Firmware";
    static constexpr const char *kSampleFolder = "../firmware/";

    // <data folder>/Firmware
    static QString userFolder();
    // The user's folder, then the samples.
    static QList<LibraryFolder> defaultFolders();

    // Every configuration in `configFolder` (config-id-<id>.ini), read
    // without telling anyone; an incomplete one is left out and named in
    // `notes`.
    static QList<BoardConf> loadBoards(const QString &configFolder, QStringList *notes = nullptr);

    // What scanning needs, read from the default places.
    static LibraryScanInput defaultInput(const QString &configFolder);

    // Whether `path` is a file of one of `folders` (by its place, not how it
    // was chosen).
    static bool contains(const QList<LibraryFolder> &folders, const QString &path);

    // The MD5 of the file that board `boardId` was last updated with
    // successfully, from the service record at `recordPath` (the default
    // one when empty); empty when there is none. A record that is not there
    // is not created. `notice` gets what the user must hear (a damaged
    // record moved aside).
    static QString lastUpdateMd5(const QString &boardId, const QString &recordPath = QString(),
                                 QString *notice = nullptr);

    struct AddResult
    {
        enum class Status
        {
            Added,
            AlreadyThere, // the same content is in the library: `path` names it
            NotHex,       // the name does not end in .hex
            Unreadable,   // missing, no access, not a regular file, too large
            CannotWrite,  // the library folder cannot be created or written
        };
        Status status = Status::CannotWrite;
        QString path; // the file in the library
        bool signatureCopied = false;
        // For the user: what happened, or why not.
        QString message;

        bool ok() const { return status == Status::Added || status == Status::AlreadyThere; }
    };

    // Copies `source` (and its signature FILE.hex.sig, when there is one)
    // into `folder`. A file of the same name but other content gets a new
    // name ("name (2).hex"); the same content is not copied twice. The copy
    // keeps the source's modification time, which orders the library.
    static AddResult add(const QString &source, const QString &folder = userFolder());
};

} // namespace frontend
