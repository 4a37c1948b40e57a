#include "update_check.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// Errors that Qt derives from a complete HTTP answer with an error status; the
// body of such an answer is still the server's and is read. Anything else is a
// failed transfer (refused, timed out, cut off, TLS) whose body can't be trusted.
bool isHttpStatusError(QNetworkReply::NetworkError error) {
    const int code = error;
    return (code >= QNetworkReply::ContentAccessDenied &&
            code <= QNetworkReply::UnknownContentError) ||
           (code >= QNetworkReply::InternalServerError &&
            code <= QNetworkReply::UnknownServerError) ||
           error == QNetworkReply::ProtocolInvalidOperationError;
}

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

    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (!answered ||
        (reply->error() != QNetworkReply::NoError && !isHttpStatusError(reply->error())))
        co_return std::nullopt;
    co_return fromFeed(reply->readAll(), currentVersion);
}

} // namespace Updater
