#pragma once

#include "frontend/core/imagegate.h"
#include "frontend/library/libraryindex.h"
#include "frontend/library/trustedkeys.h"

#include <QList>

namespace frontend {

// The firmware library's word on a file before it is sent: whether it
// lies in the library, who signed it, and, with "Only flash signed files"
// on, a refusal of anything not signed by a trusted key. The keys are read
// again for every file, so a key added or removed counts at once.
class LibraryImageGate : public ImageGate
{
public:
    LibraryImageGate();
    LibraryImageGate(const QList<LibraryFolder> &folders, const QList<KeyFolder> &keyFolders);

    void setSignedOnly(bool on) { m_signedOnly = on; }
    bool signedOnly() const { return m_signedOnly; }

    ImageVetting vet(const QString &path, QByteArrayView bytes) override;

private:
    QList<LibraryFolder> m_folders;
    QList<KeyFolder> m_keyFolders;
    bool m_signedOnly = false;
};

} // namespace frontend
