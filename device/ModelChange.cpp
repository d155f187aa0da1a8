#include "device/ModelChange.h"

#include "device/DeviceAddress.h"
#include "video/VideoShow.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

ModelChange::ModelChange(VideoShow* video, QObject* parent)
    : QObject(parent), m_pManager(new QNetworkAccessManager(this)), m_pVideo(video) {
    connect(m_pManager, &QNetworkAccessManager::finished, this, &ModelChange::onFinished);
}

void ModelChange::sendRequest() {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(DeviceAddress::host());
    url.setPort(80);
    url.setPath(QStringLiteral("/nimbra-ap03/switch=demarcate_mode"));
    m_pManager->get(QNetworkRequest(url));
}

void ModelChange::request() {
    qDebug() << "--------request-------";
    m_nAttempts = 0;
    ++m_nGeneration;
    sendRequest();
    // Unique: a second request() while the first is pending must not make the
    // reader's signals arrive twice.
    connect(m_pVideo, &VideoShow::openSucceed, this, &ModelChange::onOpenSucceed,
            Qt::UniqueConnection);
    connect(m_pVideo, &VideoShow::openFailed, this, &ModelChange::onOpenFailed,
            Qt::UniqueConnection);
}

void ModelChange::onFinished(QNetworkReply* reply) {
    // Qt flags HTTP error statuses as reply errors too; only a reply without
    // any status (refused, reset, timed out) is a failure of the request itself.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        emit requestFailed(reply->errorString());
    } else {
        if (status.toInt() == 200) {
            if (reply->readAll().contains("Success")) {
                m_pVideo->openForwardLeft();
            } else {
                emit requestFailed(QStringLiteral("request failed"));
            }
        } else {
            emit requestFailed(QStringLiteral("code is not 200, code = %1").arg(status.toString()));
        }
    }
    reply->deleteLater();
}

void ModelChange::onOpenSucceed() {
    qDebug() << "onOpenSucceed------------123";
    disconnect(m_pVideo, &VideoShow::openSucceed, this, &ModelChange::onOpenSucceed);
    disconnect(m_pVideo, &VideoShow::openFailed, this, &ModelChange::onOpenFailed);
    emit requestSucceed();
}

void ModelChange::onOpenFailed(QString error) {
    qDebug() << "requst open video" << m_nAttempts;
    if (m_nAttempts >= kMaxAttempts) {
        emit requestFailed(error);
        return;
    }
    ++m_nAttempts;
    // A retry that comes due after quit() or after a newer request() would
    // open the forward camera for a run that no longer wants it.
    const quint64 generation = m_nGeneration;
    QTimer::singleShot(kRetryMs, Qt::CoarseTimer, this, [this, generation] {
        if (generation == m_nGeneration && m_nAttempts < 50) {
            sendRequest();
        }
    });
}

void ModelChange::quit() {
    m_nAttempts = 50;
    ++m_nGeneration;
    disconnect(m_pVideo, &VideoShow::openSucceed, this, &ModelChange::onOpenSucceed);
}
