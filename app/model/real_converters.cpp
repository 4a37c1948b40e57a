#include "real_converters.h"

#include "convert_engine.h"
#include "morvane_model.h"
#include "pdf_extract.h"
#include "pdf_layout.h"

#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

RealConverters::RealConverters()
    : m_engine(std::make_unique<ConvertEngine>()) {}

RealConverters::~RealConverters() = default;

QCoro::Task<PdfText> RealConverters::convertPdf(QString path) {
    // Extraction (and OCR) off the main thread; the layout back on it.
    PDFExtract::Extraction extraction =
        co_await QtConcurrent::run([path] { return PDFExtract::pages(path); });
    co_return PdfText{PDFLayout::markdown(extraction.pages), std::move(extraction.note)};
}

QCoro::Task<ConvertResult> RealConverters::convert(ConvertKind kind, QString payload,
                                                   QString name) {
    co_return co_await m_engine->convert(kind, std::move(payload), std::move(name));
}

MorvaneModel& MorvaneModel::shared() {
    // Made once, on first use, and never released.
    static MorvaneModel* const model = new MorvaneModel(std::make_unique<RealConverters>());
    return *model;
}
