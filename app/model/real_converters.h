#pragma once

#include "converters.h"

#include <memory>

class ConvertEngine;

// The PDF pipeline and the script engine. Creating it starts loading the
// engine page, so the engine is ready by the time the first file arrives.
class RealConverters : public Converters {
public:
    RealConverters();
    ~RealConverters() override;

    QCoro::Task<PdfText> convertPdf(QString path) override;
    QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) override;

private:
    std::unique_ptr<ConvertEngine> m_engine;
};
