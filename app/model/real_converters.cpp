#include "real_converters.h"

#include "convert_engine.h"
#include "morvane_model.h"
#include "pdf_extract.h"
#include "pdf_layout.h"
#include "structured_document.h"
#ifdef MORVANE_SELF_UPDATE
#include "real_update_service.h"
#endif

#include <QCoro/QCoroFuture>
#include <QNetworkAccessManager>
#include <QtConcurrent/QtConcurrentRun>

RealConverters::RealConverters(Engine start) {
    if (start == Engine::startNow)
        m_engine = std::make_unique<ConvertEngine>();
}

RealConverters::~RealConverters() = default;

QCoro::Task<PdfText> RealConverters::convertPdf(QString path, PdfLayoutChoice layout) {
    // Extraction, OCR and the layout off the main thread: the layout of a
    // thousand pages alone held it for a tenth of a second. The future is a
    // named local: GCC 12 destroys a lambda temporary inside a co_await
    // expression twice, which freed the captured path twice.
    QFuture<PdfText> converting = QtConcurrent::run([path, layout] {
        if (layout == PdfLayoutChoice::plain) {
            PDFExtract::Extraction extraction = PDFExtract::pages(path);
            return PdfText{PDFLayout::markdown(extraction.pages), std::move(extraction.note), {}};
        }
        PDFExtract::Extraction extraction =
            PDFExtract::pages(path, PDFExtract::Content::textAndDrawing);
        StructuredLayout::Document document = StructuredLayout::document(extraction);
        PdfText text{std::move(document.markdown), std::move(extraction.note), {}};
        for (const StructuredLayout::Asset& asset : std::as_const(document.assets))
            text.assets.append({asset.name, QString::fromLatin1(asset.bytes.toBase64())});
        return text;
    });
    co_return co_await converting;
}

QCoro::Task<ConvertResult> RealConverters::convert(ConvertKind kind, QString payload,
                                                   QString name) {
    if (!m_engine)
        m_engine = std::make_unique<ConvertEngine>();
    co_return co_await m_engine->convert(kind, std::move(payload), std::move(name));
}

MorvaneModel& MorvaneModel::shared() {
    // Made once, on first use, and never released; one HTTP session serves
    // pages, the feed and downloads.
    static MorvaneModel* const model = [] {
        auto* network = new QNetworkAccessManager();
        ModelServices services;
        services.network = network;
#ifdef MORVANE_SELF_UPDATE
        services.updates = std::make_unique<RealUpdateService>(*network);
#endif
        return new MorvaneModel(std::make_unique<RealConverters>(), std::move(services));
    }();
    return *model;
}
