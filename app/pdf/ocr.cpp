#include "ocr.h"

#include "ocr_engine.h"
#include "private_module.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>

namespace {

struct OcrModule {
    void* handle = nullptr;
    MorvaneOcrOpen open = nullptr;
    MorvaneOcrRecognise recognise = nullptr;
    MorvaneOcrClose close = nullptr;
};

template <typename Function>
Function symbol(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

const OcrModule& ocrModule() {
    static OcrModule module;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        void* handle = PrivateModule::open("libMorvanePdfOcr.so");
        if (!handle)
            return;
        module.handle = handle;
        module.open = symbol<MorvaneOcrOpen>(handle, "morvane_ocr_open");
        module.recognise = symbol<MorvaneOcrRecognise>(handle, "morvane_ocr_recognise");
        module.close = symbol<MorvaneOcrClose>(handle, "morvane_ocr_close");
        if (!module.open || !module.recognise || !module.close)
            module.open = nullptr;
    });
    return module;
}

struct Collected {
    QList<PDFExtract::Recognised> lines;
    double width = 0;
    double height = 0;
};

void collectLine(void* context, const char* text, int left, int top, int right, int bottom,
                 int upright) {
    auto* collected = static_cast<Collected*>(context);
    QString line = QString::fromUtf8(text);
    // The recogniser ends a line with one line feed, the last line of a block
    // with two: terminators, not text.
    while (line.endsWith(u'\n'))
        line.chop(1);
    collected->lines.append({line, 1.0 - bottom / collected->height,
                             (bottom - top) / collected->height,
                             upright != 0 && right - left >= bottom - top, left / collected->width,
                             right / collected->width});
}

bool isSpaceOrTab(QChar c) {
    return c == u' ' || c == u'\t';
}

} // namespace

namespace PDFExtract {

QList<Line> ocrOrder(const QList<Recognised>& results, double pageHeight, double pageWidth) {
    QList<Recognised> kept;
    for (const Recognised& result : results) {
        if (result.upright && !std::all_of(result.text.cbegin(), result.text.cend(), isSpaceOrTab))
            kept.append(result);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const Recognised& a, const Recognised& b) { return a.bottom > b.bottom; });
    QList<Line> lines;
    lines.reserve(kept.size());
    for (const Recognised& result : kept) {
        Line line{result.text, result.height * pageHeight, {}};
        if (pageWidth > 0) {
            line.place.x0 = float(result.left * pageWidth);
            line.place.x1 = float(result.right * pageWidth);
            line.place.y1 = float((1.0 - result.bottom) * pageHeight);
            line.place.y0 = float(line.place.y1 - result.height * pageHeight);
            line.place.baseline = line.place.y1;
        }
        lines.append(line);
    }
    return lines;
}

std::unique_ptr<OcrEngine> OcrEngine::create() {
    const OcrModule& module = ocrModule();
    if (!module.open)
        return nullptr;
    void* handle = module.open("dan+eng");
    if (!handle)
        return nullptr;
    return std::unique_ptr<OcrEngine>(new OcrEngine(handle));
}

OcrEngine::OcrEngine(void* handle)
    : m_handle(handle) {}

OcrEngine::~OcrEngine() {
    ocrModule().close(m_handle);
}

std::optional<QList<Recognised>> OcrEngine::recognise(const GreyImage& image, int timeLimitMs) {
    Collected collected;
    collected.width = image.width;
    collected.height = image.height;
    if (image.pixels && image.width > 0 && image.height > 0 &&
        ocrModule().recognise(m_handle, image.pixels, image.width, image.height, image.bytesPerLine,
                              image.pixelsPerInch, timeLimitMs, collectLine, &collected) == 0)
        return std::nullopt;
    return collected.lines;
}

} // namespace PDFExtract
