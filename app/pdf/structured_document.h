#pragma once

#include "pdf_extract.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// The structured layout of a whole extraction: its tables written as tables
// and its pictures kept as files, linked where they stand.
namespace StructuredLayout {

struct Asset {
    QString name; // "image3.png": plain, unique in the document
    QByteArray bytes;
};

struct Document {
    QString markdown;
    QList<Asset> assets;
};

// "Figure 3: Harbour map" from a caption line, or nothing.
bool isCaption(QStringView text);

// The page's lines with its tables and pictures as block lines; pictures that
// `furniture` holds (repeated logos) are left out. Numbers pictures on from
// `figures` and adds their files to `assets`.
PDFExtract::Page withDrawing(const PDFExtract::Page& page, const PDFExtract::Drawing& drawing,
                             const QSet<QByteArray>& furniture, QList<Asset>& assets, int& figures);

// The pictures that stand on several pages: logos and decorations.
QSet<QByteArray> repeatedPictures(const QList<PDFExtract::Drawing>& drawings);

// With drawings, tables and pictures; without, as markdown(pages).
Document document(const PDFExtract::Extraction& extraction);

} // namespace StructuredLayout
