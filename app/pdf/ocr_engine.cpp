#include "ocr_engine.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <omp.h>

#include <memory>
#include <mutex>

extern "C" {

__attribute__((visibility("default"))) void* morvane_ocr_open(const char* languages) {
    // Engines are made on several threads at once, and the recogniser keeps
    // some settings, the debug file among them, in globals that set-up writes.
    static std::mutex opening;
    static std::once_flag quiet;
    const std::lock_guard<std::mutex> lock(opening);
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, languages, tesseract::OEM_LSTM_ONLY) != 0)
        return nullptr;
    // The API's default is one uniform block, which merges columns.
    api->SetPageSegMode(tesseract::PSM_AUTO);
    std::call_once(quiet, [&] { api->SetVariable("debug_file", "/dev/null"); });
    return api.release();
}

__attribute__((visibility("default"))) int
morvane_ocr_recognise(void* engine, const unsigned char* pixels, int width, int height,
                      int bytesPerLine, int pixelsPerInch, int timeLimitMs, MorvaneOcrLineSink sink,
                      void* context) {
    auto* api = static_cast<tesseract::TessBaseAPI*>(engine);
    if (!api || !pixels || width <= 0 || height <= 0)
        return 1;
    // Pages run in parallel on our own threads; the recogniser's OpenMP
    // regions inside a page must not add threads of their own. Qt Core loads
    // the OpenMP runtime at start-up (through libb2), so OMP_THREAD_LIMIT set
    // later is not read: no active parallel level, on this thread, has the
    // same effect.
    omp_set_max_active_levels(0);
    api->SetImage(pixels, width, height, 1, bytesPerLine);
    api->SetSourceResolution(pixelsPerInch);
    // A failed run is ignored: whatever it recognised is still used. One
    // that ran out of time is not: the page's text may be half read.
    tesseract::ETEXT_DESC monitor;
    monitor.set_deadline_msecs(timeLimitMs);
    api->Recognize(&monitor);
    if (monitor.deadline_exceeded()) {
        api->Clear();
        return 0;
    }
    std::unique_ptr<tesseract::ResultIterator> it(api->GetIterator());
    if (it) {
        do {
            if (it->Empty(tesseract::RIL_TEXTLINE))
                continue;
            std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
            int left = 0, top = 0, right = 0, bottom = 0;
            tesseract::Orientation orientation = tesseract::ORIENTATION_PAGE_UP;
            tesseract::WritingDirection direction = tesseract::WRITING_DIRECTION_LEFT_TO_RIGHT;
            tesseract::TextlineOrder order = tesseract::TEXTLINE_ORDER_TOP_TO_BOTTOM;
            float deskew = 0;
            it->Orientation(&orientation, &direction, &order, &deskew);
            if (text && it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
                sink(context, text.get(), left, top, right, bottom,
                     orientation == tesseract::ORIENTATION_PAGE_UP ? 1 : 0);
        } while (it->Next(tesseract::RIL_TEXTLINE));
    }
    api->Clear();
    return 1;
}

__attribute__((visibility("default"))) void morvane_ocr_close(void* engine) {
    delete static_cast<tesseract::TessBaseAPI*>(engine);
}

} // extern "C"
