#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal for tests: the test keeps the master side and one slave
// descriptor (so the line does not hang up while the daemon closes and
// reopens the slave); the daemon opens the slave by its path.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isOpen() const { return m_master >= 0 && m_slave >= 0; }
    QString slavePath() const { return m_path; }
    int masterFd() const { return m_master; }

    // Output speed set on the line (e.g. 9600), 0 when unreadable.
    int lineBaud() const;
    // Bytes the other end wrote, collected for up to `waitMs`.
    QByteArray readMaster(int waitMs);
    bool writeMaster(const QByteArray &bytes);

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
