#include "update_check.h"

#include "http_answer.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

} // namespace

namespace Updater {

QCoro::Task<std::optional<UpdateInfo>> check(QUrl manifest, QString currentVersion,
                                             QNetworkAccessManager* session,
                                             std::chrono::milliseconds timeout) {
    if (!session)
        co_return std::nullopt;
    QNetworkRequest request(manifest);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(timeout.count()));
    const std::unique_ptr<QNetworkReply, DeleteLater> reply(session->get(request));
    co_await qCoro(reply.get()).waitForFinished();

    if (!isHttpAnswer(*reply))
        co_return std::nullopt;
    co_return fromFeed(reply->readAll(), currentVersion);
}

} // namespace Updater
