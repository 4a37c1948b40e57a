#pragma once

#include "converters.h"

#include <QCoreApplication>
#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <chrono>

// Opens once; converters waiting on it then go on.
class Gate : public QObject {
    Q_OBJECT

public:
    bool isOpen = false;
    void open() {
        isOpen = true;
        Q_EMIT opened();
    }
    Q_SIGNAL void opened();
};

struct EngineCall {
    ConvertKind kind;
    QString payload;
    QString name;
};

// Canned answers by file path (PDF) or name (engine), optionally held at a
// gate so that batches can overlap on purpose.
class FakeConverters : public Converters {
public:
    QHash<QString, PdfText> pdf;
    QHash<QString, ConvertResult> engine;
    QHash<QString, Gate*> gates;
    QList<QString> pdfCalls;
    QList<PdfLayoutChoice> pdfLayouts;
    QList<EngineCall> engineCalls;

    // Calls still waiting are answered on the way out, before the model is
    // gone: the worst a converter destroyed with the model can do.
    ~FakeConverters() override {
        for (const QPointer<Gate>& gate : std::as_const(m_waitingAt)) {
            if (gate && !gate->isOpen)
                gate->open();
        }
        QCoreApplication::processEvents();
    }

    QCoro::Task<PdfText> convertPdf(QString path, PdfLayoutChoice layout) override {
        pdfCalls.append(path);
        pdfLayouts.append(layout);
        co_await waitAtGate(path);
        co_return pdf.value(
            path, PdfText{QString(), QStringLiteral("0p · 0 lines (text 0, ocr 0 on 0p)")});
    }

    QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name) override {
        engineCalls.append({kind, payload, name});
        co_await waitAtGate(name);
        co_return engine.value(name,
                               ConvertResult::errorMessage(QStringLiteral("no canned answer")));
    }

    qsizetype waitingAtGates() const { return m_waitingAt.size(); }

private:
    QList<QPointer<Gate>> m_waitingAt;

    QCoro::Task<> waitAtGate(const QString& key) {
        // Always suspend once, as the real converters do.
        co_await QCoro::sleepFor(std::chrono::milliseconds(1));
        Gate* gate = gates.value(key);
        if (gate && !gate->isOpen) {
            m_waitingAt.append(gate);
            co_await qCoro(gate, &Gate::opened);
            m_waitingAt.removeOne(gate);
        }
    }
};
