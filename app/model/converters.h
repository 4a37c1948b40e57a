#pragma once

#include "convert_kind.h"
#include "convert_result.h"

#include <QCoro/QCoroTask>
#include <QString>

// How a PDF's lines become Markdown: as the page has them (the default), or
// structured into paragraphs, lists and code without the page furniture.
enum class PdfLayoutChoice { plain, structured };

// The PDF text of one file and the note of that very extraction.
struct PdfText {
    PdfText() = default;
    PdfText(QString markdown, QString note, QList<ConvertResult::Asset> assets = {})
        : markdown(std::move(markdown))
        , note(std::move(note))
        , assets(std::move(assets)) {}

    QString markdown;
    QString note;
    QList<ConvertResult::Asset> assets; // the pictures of the structured layout
};

// What a batch needs from the converters. The application uses the PDF
// pipeline and the script engine; tests use fakes.
class Converters {
public:
    virtual ~Converters() = default;

    // Extraction runs off the main thread; layout back on it.
    virtual QCoro::Task<PdfText> convertPdf(QString path, PdfLayoutChoice layout) = 0;
    // Never fails: every engine fault comes back as a result with `error`.
    virtual QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) = 0;
};
