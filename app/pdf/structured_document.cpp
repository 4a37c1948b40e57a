#include "structured_document.h"

#include "pdf_tables.h"
#include "structured_layout.h"
#include "unicode.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Page;
using PDFExtract::Picture;

namespace {

// How far, in sizes of its text, a caption stands from its picture.
constexpr double captionReach = 2.5;

bool overlapsAcross(const PDFExtract::Placement& place, const Picture& picture) {
    return place.x0 < picture.x1 && place.x1 > picture.x0;
}

bool located(const Line& line) {
    return !line.place.block && line.place.pageHeight > 0 && line.place.y1 > line.place.y0;
}

// The caption directly below the picture, else directly above it.
QString captionOf(const Page& page, const Picture& picture) {
    const Line* above = nullptr;
    const Line* below = nullptr;
    for (const Line& line : page) {
        if (!located(line) || !overlapsAcross(line.place, picture))
            continue;
        const double reach = captionReach * std::max(line.size, 1.0);
        const double under = line.place.y0 - picture.y1, over = picture.y0 - line.place.y1;
        if (under >= -1 && under <= reach && (!below || line.place.y0 < below->place.y0))
            below = &line;
        if (over >= -1 && over <= reach && (!above || line.place.y1 > above->place.y1))
            above = &line;
    }
    for (const Line* line : {below, above}) {
        if (line && StructuredLayout::isCaption(Unicode::trimmed(line->text)))
            return Unicode::trimmed(line->text).toString();
    }
    return {};
}

QString escapedAlt(QString text) {
    text.replace(u'\\', u"\\\\"_s);
    text.replace(u'[', u"\\["_s);
    text.replace(u']', u"\\]"_s);
    return text;
}

} // namespace

namespace StructuredLayout {

bool isCaption(QStringView text) {
    static const QRegularExpression caption(
        uR"(^(figure|fig\.|image|illustration|diagram|chart|plate|abbildung)\s*\d+)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return caption.match(text.toString()).hasMatch();
}

QSet<QByteArray> repeatedPictures(const QList<PDFExtract::Drawing>& drawings) {
    QHash<QByteArray, int> pagesWith;
    for (const PDFExtract::Drawing& drawing : drawings) {
        QSet<QByteArray> onPage;
        for (const Picture& picture : drawing.pictures)
            onPage.insert(picture.bytes);
        for (const QByteArray& bytes : std::as_const(onPage))
            ++pagesWith[bytes];
    }
    QSet<QByteArray> repeated;
    for (auto it = pagesWith.cbegin(); it != pagesWith.cend(); ++it) {
        if (it.value() >= 2)
            repeated.insert(it.key());
    }
    return repeated;
}

Page withDrawing(const Page& page, const PDFExtract::Drawing& drawing,
                 const QSet<QByteArray>& furniture, QList<Asset>& assets, int& figures) {
    Page out = PDFTables::withTables(page, drawing.rules);
    QList<Picture> pictures = drawing.pictures;
    std::stable_sort(pictures.begin(), pictures.end(),
                     [](const Picture& a, const Picture& b) { return a.y0 < b.y0; });
    for (const Picture& picture : std::as_const(pictures)) {
        if (picture.bytes.isEmpty() || furniture.contains(picture.bytes))
            continue;
        const auto same = std::find_if(assets.cbegin(), assets.cend(), [&picture](const Asset& a) {
            return a.bytes == picture.bytes;
        });
        QString name;
        if (same != assets.cend()) {
            name = same->name;
        } else {
            name = u"image%1.%2"_s.arg(assets.size() + 1).arg(picture.format);
            assets.append({name, picture.bytes});
        }
        ++figures;
        QString alt = captionOf(out, picture);
        if (alt.isEmpty())
            alt = u"Figure %1"_s.arg(figures);

        // Before the first line below the picture's middle in its column.
        const float middle = 0.5f * (picture.y0 + picture.y1);
        qsizetype at = out.size();
        for (qsizetype i = 0; i < out.size(); ++i) {
            const PDFExtract::Placement& place = out[i].place;
            if (place.pageHeight > 0 && overlapsAcross(place, picture) &&
                0.5f * (place.y0 + place.y1) > middle) {
                at = i;
                break;
            }
        }
        PDFExtract::Placement place;
        const Line* near = at < out.size() ? &out[at] : out.isEmpty() ? nullptr : &out.last();
        if (near) {
            place.pageWidth = near->place.pageWidth;
            place.pageHeight = near->place.pageHeight;
        }
        place.x0 = picture.x0;
        place.y0 = picture.y0;
        place.x1 = picture.x1;
        place.y1 = picture.y1;
        place.baseline = picture.y1;
        place.block = true;
        out.insert(at, Line(u"!["_s + escapedAlt(alt) + u"]("_s + name + u')',
                            near ? near->size : 0, place));
    }
    return out;
}

Document document(const PDFExtract::Extraction& extraction) {
    if (extraction.drawings.size() != extraction.pages.size())
        return {markdown(extraction.pages), {}};
    const QSet<QByteArray> furniture = repeatedPictures(extraction.drawings);
    Document document;
    QList<Page> pages;
    pages.reserve(extraction.pages.size());
    int figures = 0;
    for (qsizetype p = 0; p < extraction.pages.size(); ++p)
        pages.append(withDrawing(extraction.pages[p], extraction.drawings[p], furniture,
                                 document.assets, figures));
    document.markdown = markdown(pages);
    return document;
}

} // namespace StructuredLayout
