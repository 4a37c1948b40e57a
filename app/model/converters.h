#pragma once

#include "convert_kind.h"
#include "convert_result.h"

#include <QCoro/QCoroTask>
#include <QString>

// The PDF text of one file and the note of that very extraction.
struct PdfText {
    QString markdown;
    QString note;
};

// What a batch needs from the converters. The application uses the PDF
// pipeline and the script engine; tests use fakes.
class Converters {
public:
    virtual ~Converters() = default;

    // Extraction runs off the main thread; layout back on it.
    virtual QCoro::Task<PdfText> convertPdf(QString path) = 0;
    // Never fails: every engine fault comes back as a result with `error`.
    virtual QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) = 0;
};
