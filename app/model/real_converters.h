#pragma once

#include "converters.h"

#include <memory>

class ConvertEngine;

// The PDF pipeline and the script engine. Creating it starts loading the
// engine page, so the engine is ready by the time the first file arrives;
// a caller that knows it has only PDFs can leave the page until it is needed.
class RealConverters : public Converters {
public:
    enum class Engine { startNow, startOnFirstUse };
    explicit RealConverters(Engine start = Engine::startNow);
    ~RealConverters() override;

    QCoro::Task<PdfText> convertPdf(QString path, PdfLayoutChoice layout) override;
    QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) override;

    // For the start-up measurement, which waits for the page to be ready;
    // null until the engine is made.
    const ConvertEngine* engine() const { return m_engine.get(); }

private:
    std::unique_ptr<ConvertEngine> m_engine;
};
