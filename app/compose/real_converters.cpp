#include "real_converters.h"

#include "pdf_extract.h"
#include "pdf_layout.h"
#include "structured_document.h"

#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

RealConverters::RealConverters(Engine start) {
    if (start == Engine::startNow)
        startEngine();
}

void RealConverters::startEngine() {
    m_engine = GraphicalSession::engine();
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
        startEngine();
    if (!m_engine)
        co_return ConvertResult::errorMessage(GraphicalSession::failure());
    co_return co_await m_engine->convert(kind, std::move(payload), std::move(name));
}
