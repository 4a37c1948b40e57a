#include "morvane_model.h"

#include "http_answer.h"
#include "unicode.h"
#include "web_page.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QByteArray pageUserAgent =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.0 Safari/605.1.15";

} // namespace

void MorvaneModel::convertURL(const QString& text) {
    QString normalised = Unicode::trimmed(text).toString();
    if (!normalised.isEmpty() && !normalised.contains(u"://"_s))
        normalised.prepend(u"https://"_s);
    const QUrl address(normalised, QUrl::TolerantMode);
    // QUrl lower-cases the scheme, so "HTTPS://…" counts as the web address it is.
    if (normalised.isEmpty() || !address.isValid() || !address.scheme().startsWith(u"http"_s)) {
        setStatus(u"Not a valid URL"_s);
        return;
    }
    runPage(address, address.host().isEmpty() ? normalised : address.host());
}

QCoro::Task<> MorvaneModel::runPage(QUrl address, QString shownHost) {
    const Lifetime::Token alive = m_lifetime.token();
    setIsConverting(true);
    setStatus(u"Fetching "_s + shownHost + u"…"_s);
    removeStaleTemporaries();

    QByteArray contentType;
    QUrl finalAddress;
    const std::optional<QByteArray> body = co_await fetchPage(address, contentType, finalAddress);
    if (!alive)
        co_return;
    const QString text = body ? WebPage::decodeHTML(*body, contentType) : QString();
    if (text.isEmpty()) {
        setStatus(u"Couldn't fetch the page"_s);
        setIsConverting(false);
        Q_EMIT pageEnded(address, {});
        co_return;
    }

    // Links resolve against where the page really is after redirects; the
    // document still names the address the user gave.
    const QString absolute = address.toString(QUrl::FullyEncoded);
    const ConvertResult result = co_await m_converters->convert(
        ConvertKind::url, text, finalAddress.toString(QUrl::FullyEncoded));
    if (!alive)
        co_return;
    const QString host = address.host();
    const std::optional<QUrl> document =
        saveAndRecord(result, absolute, host.isEmpty() ? u"page"_s : host);
    if (document) {
        if (m_settings.openAfterConvert)
            m_services.desktop->revealFiles({*document});
        setStatus(u"Converted ✓"_s);
    } else {
        setStatus(u"Couldn't extract an article from that page"_s);
    }
    setIsConverting(false);
    Q_EMIT pageEnded(address, document ? QList<QUrl>{*document} : QList<QUrl>());
}

QCoro::Task<std::optional<QByteArray>>
MorvaneModel::fetchPage(QUrl address, QByteArray& contentType, QUrl& finalAddress) {
    QNetworkRequest request(address);
    request.setRawHeader("User-Agent", pageUserAgent);
    request.setTransferTimeout(static_cast<int>(m_services.pageIdleTimeout.count()));
    std::unique_ptr<QNetworkReply> reply(m_services.network->get(request));
    // Qt reads ahead without limit unless told; the body is taken in as it comes.
    reply->setReadBufferSize(256 * 1024);

    QByteArray body;
    bool refused = false;
    auto refuse = [&] {
        if (!refused) {
            refused = true;
            reply->abort();
        }
    };
    auto readAvailable = [&] {
        if (refused)
            return;
        body += reply->readAll();
        if (body.size() > m_services.maxPageBytes)
            refuse();
    };
    const QMetaObject::Connection reading =
        connect(reply.get(), &QIODevice::readyRead, this, readAvailable);
    // A declared length past the ceiling is refused before the body comes.
    const QMetaObject::Connection announced =
        connect(reply.get(), &QNetworkReply::metaDataChanged, this, [&] {
            bool known = false;
            const qlonglong length =
                reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
            if (known && length > m_services.maxPageBytes)
                refuse();
        });
    // The idle time-out alone lets a trickling server hold the page for ever.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, refuse);
    deadline.start(m_services.pageDeadline);
    const Lifetime::Token alive = m_lifetime.token();
    if (!reply->isFinished())
        co_await qCoro(reply.get()).waitForFinished();
    if (!alive) {
        // The reply belongs to the network session, which may have gone with
        // the model.
        reply.release();
        co_return std::nullopt;
    }
    deadline.stop();
    disconnect(reading);
    disconnect(announced);
    readAvailable();

    // Any HTTP answer counts, error pages included; only a transfer that never
    // produced a whole response fails.
    if (refused || !isHttpAnswer(*reply))
        co_return std::nullopt;
    contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    finalAddress = reply->url();
    co_return body;
}
