#pragma once

#include "pdf_extract.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

// Recognition of rendered pages without a text layer.
namespace PDFExtract {

// One recognised line with its box in normalised page coordinates, origin at
// the bottom left (0 is the page's bottom edge, 1 its top edge).
struct Recognised {
    QString text;
    double bottom = 0;
    double height = 0;
    // Read left to right in a box wider than tall. A column of prompts read
    // as one line, or text turned sideways, is not a line of the page's text:
    // its height would make it a heading.
    bool upright = true;
    double left = 0, right = 0; // 0 is the page's left edge, 1 its right edge
};

// Upright lines whose text is more than spaces and tabs, sized by box height
// times the page height in points, highest bottom edge first; equal edges
// keep the recogniser's order. With the page width, each line carries its box too.
QList<Line> ocrOrder(const QList<Recognised>& results, double pageHeight, double pageWidth = 0);

// An 8-bit grey rendering, rows top to bottom.
struct GreyImage {
    const unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
    int pixelsPerInch = 144;
};

// One recogniser instance for one thread; not shareable between threads.
// The recogniser and its dependencies live in a module loaded on first use,
// so that documents with a text layer never load them.
class OcrEngine {
public:
    // Null when the OCR module or its language data cannot be loaded.
    static std::unique_ptr<OcrEngine> create();
    ~OcrEngine();
    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

    // Recognised lines in the recogniser's order, boxes normalised; nothing
    // when recognition takes longer than `timeLimitMs` (no limit when 0).
    std::optional<QList<Recognised>> recognise(const GreyImage& image, int timeLimitMs = 0);

private:
    explicit OcrEngine(void* handle);
    void* m_handle;
};

} // namespace PDFExtract
