#pragma once

#include "converters.h"
#include "graphical_session.h"

#include <memory>

// The PDF pipeline and the script engine. Creating it starts loading the
// engine page, so the engine is ready by the time the first file arrives;
// a caller that knows it has only PDFs can leave the engine, and the module
// that holds it, until it is needed.
class RealConverters : public Converters {
public:
    enum class Engine { startNow, startOnFirstUse };
    explicit RealConverters(Engine start = Engine::startNow);
    ~RealConverters() override;

    QCoro::Task<PdfText> convertPdf(QString path, PdfLayoutChoice layout) override;
    QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) override;

    // For the start-up measurement; null until the engine is made.
    GraphicalSession::Engine* engine() const { return m_engine.get(); }

private:
    void startEngine();

    std::unique_ptr<GraphicalSession::Engine> m_engine;
};
