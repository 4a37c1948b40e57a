#include "updater.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

// Feed parsing never offers anything but an https update newer than the
// running version, and version comparison is a strict order.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto update = Updater::fromFeed(body, u"1.0"_s)) {
        if (update->downloadURL.scheme() != u"https" || !Updater::isNewer(update->version, u"1.0"))
            std::abort();
    }
    const QString text = QString::fromUtf8(body);
    const qsizetype middle = text.size() / 2;
    const QString a = text.left(middle);
    const QString b = text.mid(middle);
    if (Updater::isNewer(a, b) && Updater::isNewer(b, a))
        std::abort();
    if (Updater::isNewer(a, a))
        std::abort();
    return 0;
}
