#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QTimer>
#include <QUrl>

#include "core/gaevent.h"

class QNetworkAccessManager;

// Usage analytics as Measurement Protocol hits. Events are queued from any thread (engine event
// threads) and posted in batches from the GUI thread every 10 seconds; screen views go at once.
// The collection address is Ostrel::Defaults::kAnalyticsUrl unless the environment variable
// TROVANTI_ANALYTICS_URL is set; an empty address turns analytics off (nothing is sent).
class GASender : public QObject
{
    Q_OBJECT
public:
    static GASender* instance();
    static void cleanUp();

    static const char* const kTrackingId;
    static constexpr int kIntervalMs = 10000;

    void init();

    void sendPage(const QString& screen);
    void sendEvent(const QString& category, const QString& action, const QString& label, const QString& value);

    void setCollectUrl(const QUrl& url) { collectUrl_ = url; }
    QUrl collectUrl() const { return collectUrl_; }
    void setInterval(int ms) { timer_.setInterval(ms); }
    int pendingCount() const;

    ~GASender() override;

public slots:
    void onTimer();

private:
    GASender();
    using Params = QList<QPair<QString, QString>>;
    void request(const Params& params);
    Params commonParams(const QString& type);

    QString trackingId_;
    QNetworkAccessManager* network_;
    QTimer timer_;
    QList<GAEvent> queue_;
    bool sending_ = false;
    mutable QMutex mutex_;
    QUrl collectUrl_;
    static GASender* instance_;
};
