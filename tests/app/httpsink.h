#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A tiny HTTP/1.1 listener on 127.0.0.1 that records every request and answers 204.
class HttpSink : public QObject
{
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };

    HttpSink();
    ~HttpSink() override;
    bool listening() const { return server_.isListening(); }
    QString url(const QString& path) const;

    const QList<Request>& requests() const { return requests_; }
    int connections() const { return connections_; }

private:
    void onConnection();
    void onData(QTcpSocket* socket);

    QTcpServer server_;
    QList<Request> requests_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    int connections_ = 0;
};

// name=value pairs of a form body, in order, percent-decoded.
QList<QPair<QString, QString>> formFields(const QByteArray& body);
