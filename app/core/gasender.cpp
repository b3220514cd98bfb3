#include "core/gasender.h"

#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "core/globalconfig.h"
#include "core/infoprovider.h"
#include "ostrel/Defaults.h"

const char* const GASender::kTrackingId = "UA-73918264-02";

GASender* GASender::instance_ = nullptr;

GASender* GASender::instance()
{
    if (!instance_)
        instance_ = new GASender();
    return instance_;
}

void GASender::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

GASender::GASender() : trackingId_(QString::fromLatin1(kTrackingId)), network_(new QNetworkAccessManager(this))
{
    collectUrl_ = qEnvironmentVariableIsSet("TROVANTI_ANALYTICS_URL")
                      ? QUrl(qEnvironmentVariable("TROVANTI_ANALYTICS_URL"))
                      : QUrl(QString::fromLatin1(Ostrel::Defaults::kAnalyticsUrl));
    connect(&timer_, &QTimer::timeout, this, &GASender::onTimer);
    timer_.start(kIntervalMs);
}

GASender::~GASender() = default;

void GASender::init() {}

int GASender::pendingCount() const
{
    QMutexLocker lock(&mutex_);
    return queue_.size();
}

GASender::Params GASender::commonParams(const QString& type)
{
    return {{"v", "1"},
            {"tid", trackingId_},
            {"cid", GlobalConfig::instance()->getUUID()},
            {"t", type},
            {"av", InfoProvider::instance()->getAppVersion()}};
}

void GASender::sendPage(const QString& screen)
{
    Params params = commonParams("screenview");
    params.append(qMakePair(QString("cd"), QString(screen)));
    params.append(qMakePair(QString("an"), QString("Trovanti(Linux)")));
    request(params);
}

void GASender::sendEvent(const QString& category, const QString& action, const QString& label, const QString& value)
{
    QMutexLocker lock(&mutex_);
    queue_.append(GAEvent(category, action, label, value));
}

void GASender::onTimer()
{
    // Take the batch under the lock; events queued meanwhile wait for the next turn instead of
    // being dropped.
    QList<GAEvent> batch;
    {
        QMutexLocker lock(&mutex_);
        if (sending_)
            return;
        sending_ = true;
        batch.swap(queue_);
    }
    for (const GAEvent& event : batch) {
        Params params = commonParams("event");
        params.append(qMakePair(QString("ec"), QString(event.getCategory())));
        params.append(qMakePair(QString("ea"), QString(event.getAction())));
        params.append(qMakePair(QString("el"), QString(event.getLabel())));
        if (!event.getValue().isEmpty())
            params.append(qMakePair(QString("ev"), QString(event.getValue())));
        params.append(qMakePair(QString("an"), QString("Trovanti(Linux)")));
        request(params);
    }
    QMutexLocker lock(&mutex_);
    sending_ = false;
}

void GASender::request(const Params& params)
{
    if (collectUrl_.isEmpty() || !collectUrl_.isValid())
        return;
    // Every name and value is percent-encoded, so labels holding "&", "=" or "+" stay intact.
    QByteArray body;
    for (const auto& p : params) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(p.first) + '=' + QUrl::toPercentEncoding(p.second);
    }
    QNetworkRequest req(collectUrl_);
    req.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* reply = network_->post(req, body);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}
