#include "fuzz_input.h"

#include "updater.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;
using FuzzInput::check;

namespace {

// Version comparison is a strict weak order that ignores trailing zero pieces.
void checkOrder(const QString& a, const QString& b, const QString& c) {
    check(!Updater::isNewer(a, a), "isNewer: irreflexive");
    check(!(Updater::isNewer(a, b) && Updater::isNewer(b, a)), "isNewer: asymmetric");
    if (Updater::isNewer(a, b) && Updater::isNewer(b, c))
        check(Updater::isNewer(a, c), "isNewer: transitive");
    // Incomparable (equal) versions are interchangeable.
    if (!Updater::isNewer(a, b) && !Updater::isNewer(b, a))
        check(Updater::isNewer(a, c) == Updater::isNewer(b, c) &&
                  Updater::isNewer(c, a) == Updater::isNewer(c, b),
              "isNewer: equal versions compare alike");
    const QString padded = a + u".0"_s;
    check(!Updater::isNewer(padded, a) && !Updater::isNewer(a, padded),
          "isNewer: a trailing zero piece changes nothing");
}

} // namespace

// The input as a feed body against version 1.0, then cut into three versions
// for the order's laws and for a well-formed feed of each.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto update = Updater::fromFeed(body, u"1.0"_s)) {
        check(update->downloadURL.scheme() == u"https" && !update->downloadURL.host().isEmpty(),
              "fromFeed: an https address with a host");
        check(Updater::isNewer(update->version, u"1.0"), "fromFeed: only a newer version");
        const QJsonObject feed = QJsonDocument::fromJson(body).object();
        check(update->version == feed.value("version"_L1).toString(),
              "fromFeed: the version exactly as written");
        check(update->notes == feed.value("notes"_L1).toString(),
              "fromFeed: the notes when they are a string, else none");
    }

    const QString text = QString::fromUtf8(body);
    const qsizetype third = text.size() / 3;
    const QString a = text.left(third);
    const QString b = text.mid(third, third);
    const QString c = text.mid(2 * third);
    checkOrder(a, b, c);
    checkOrder(c, a, b);

    const QJsonObject feed{{u"version"_s, a}, {u"url"_s, u"https://dl.example.com/m.zip"_s}};
    const auto offered = Updater::fromFeed(QJsonDocument(feed).toJson(QJsonDocument::Compact), b);
    check(offered.has_value() == Updater::isNewer(a, b),
          "fromFeed: a well-formed feed is offered exactly when newer");
    if (offered)
        check(offered->version == a && offered->notes.isEmpty(), "fromFeed: fields as given");
    return 0;
}
