#pragma once

#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A one-request-per-connection HTTP server on 127.0.0.1 that serves fixed
// answers by path and records what was asked.
class FeedServer : public QObject
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        bool hold = false; // read the request, never answer
    };

    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &FeedServer::accept);
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    QUrl baseUrl() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/orkel/").arg(m_server.serverPort()));
    }
    // Both language feeds, for tests that do not care which one is asked for.
    void serveBoth(const Answer &answer)
    {
        answers[QStringLiteral("/orkel/appcast_ENG.xml")] = answer;
        answers[QStringLiteral("/orkel/appcast_ITA.xml")] = answer;
    }

    QMap<QString, Answer> answers; // by request path; others get 404
    QStringList paths;             // request paths, in order
    QList<QByteArray> requests;    // whole request heads

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        m_buffers.remove(socket);
        requests.append(head);
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        const QString path = QString::fromLatin1(requestLine.value(1));
        paths.append(path);

        const Answer answer = answers.value(path, Answer{404, "not here", false});
        if (answer.hold)
            return;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n";
        reply += "Content-Type: application/rss+xml\r\n";
        reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        reply += "Connection: close\r\n\r\n";
        reply += answer.body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QMap<QTcpSocket *, QByteArray> m_buffers;
};

// A feed with one release per (version, notes) pair.
inline QByteArray appcastFeed(const QList<QPair<QString, QString>> &releases)
{
    QByteArray feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<rss version=\"2.0\" "
                      "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
                      "<channel><title>ORKEL</title>\n";
    for (const auto &release : releases) {
        feed += "<item><title>Version " + release.first.toUtf8() + "</title>" +
                "<description><![CDATA[" + release.second.toUtf8() + "]]></description>" +
                "<pubDate>Mon, 02 Nov 2026 10:00:00 +0000</pubDate>" +
                "<enclosure url=\"https://downloads.example.invalid/orkel-" +
                release.first.toUtf8() + ".deb\" sparkle:version=\"" + release.first.toUtf8() +
                "\" length=\"100\" type=\"application/octet-stream\"/></item>\n";
    }
    feed += "</channel></rss>\n";
    return feed;
}
