#include "httpsink.h"

#include <QTcpSocket>
#include <QUrl>

HttpSink::HttpSink()
{
    connect(&server_, &QTcpServer::newConnection, this, &HttpSink::onConnection);
    server_.listen(QHostAddress::LocalHost, 0);
}

HttpSink::~HttpSink()
{
    // The sockets are the server's children; silence them before the members they use go.
    for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) {
        socket->disconnect();
        delete socket;
    }
}

QString HttpSink::url(const QString& path) const
{
    return QString("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
}

void HttpSink::onConnection()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        ++connections_;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpSink::onData(QTcpSocket* socket)
{
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    for (;;) {
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        request.method = start.value(0);
        request.path = start.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const int length = request.headers.value("content-length", "0").toInt();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        requests_.append(request);
        socket->write("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n");
    }
}

QList<QPair<QString, QString>> formFields(const QByteArray& body)
{
    QList<QPair<QString, QString>> fields;
    for (const QByteArray& pair : body.split('&')) {
        const int eq = pair.indexOf('=');
        fields.append({QUrl::fromPercentEncoding(pair.left(eq)), QUrl::fromPercentEncoding(pair.mid(eq + 1))});
    }
    return fields;
}
