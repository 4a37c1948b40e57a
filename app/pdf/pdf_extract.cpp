#include "pdf_extract.h"

#include "ocr.h"
#include "pdf_extract_p.h"
#include "reading_order.h"
#include "text_layer.h"

extern "C" {
#include <mupdf/fitz.h>
}

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using PDFExtract::Extraction;
using PDFExtract::Line;
using PDFExtract::Page;

// Rendering for recognition is two pixels per point, as measured sufficient.
constexpr float renderScale = 2.0f;
// A hostile page size must not exhaust memory: larger renderings are scaled
// down to this many pixels (an A0 page at 2 px/pt has 32 million).
constexpr double maxRenderPixels = 36e6;
constexpr int maxWorkers = 4;
// Per context; the default of 256 MB per thread would be most of the budget.
constexpr size_t storeBytes = 32u << 20;

void ignoreMessage(void*, const char*) {}

struct ContextCloser {
    void operator()(fz_context* ctx) const { fz_drop_context(ctx); }
};
using Context = std::unique_ptr<fz_context, ContextCloser>;

// Only plain locals live across fz_try: it is setjmp underneath.
bool registerHandlers(fz_context* ctx) {
    volatile bool registered = true;
    fz_try(ctx) {
        fz_register_document_handlers(ctx);
    }
    fz_catch(ctx) {
        registered = false;
    }
    return registered;
}

Context newContext() {
    Context ctx(fz_new_context(nullptr, nullptr, storeBytes));
    if (!ctx)
        return nullptr;
    // The system writes no log: engine warnings are not shown.
    fz_set_warning_callback(ctx.get(), ignoreMessage, nullptr);
    fz_set_error_callback(ctx.get(), ignoreMessage, nullptr);
    return registerHandlers(ctx.get()) ? std::move(ctx) : nullptr;
}

// One context and one opened document for one thread; MuPDF contexts share
// nothing, which measured faster than cloned contexts with locks.
class Reader {
public:
    bool open(const QByteArray& bytes) {
        m_ctx = newContext();
        if (!m_ctx)
            return false;
        fz_context* ctx = m_ctx.get();
        fz_stream* volatile stream = nullptr;
        fz_document* volatile doc = nullptr;
        volatile int count = -1;
        fz_var(stream);
        fz_var(doc);
        fz_try(ctx) {
            stream = fz_open_memory(ctx, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                    static_cast<size_t>(bytes.size()));
            doc = fz_open_document_with_stream(ctx, "application/pdf", stream);
            // Many encrypted files open with the empty user password.
            if (fz_needs_password(ctx, doc) && !fz_authenticate_password(ctx, doc, ""))
                fz_throw(ctx, FZ_ERROR_GENERIC, "password needed");
            count = fz_count_pages(ctx, doc);
        }
        fz_always(ctx) {
            fz_drop_stream(ctx, stream);
        }
        fz_catch(ctx) {
            fz_drop_document(ctx, doc);
            doc = nullptr;
        }
        m_doc = doc;
        m_pageCount = count;
        // The count is the file's own claim; one far beyond what its bytes
        // could hold would only make a huge list of empty pages.
        return m_doc && m_pageCount >= 0 && m_pageCount <= qMax<qsizetype>(bytes.size(), 1);
    }

    ~Reader() {
        if (m_doc)
            fz_drop_document(m_ctx.get(), m_doc);
    }

    int pageCount() const { return m_pageCount; }

    // The page's lines from its text layer, then by recognition when that
    // gave none; no lines and no recognition when the document has no page
    // for the index.
    struct PageResult {
        Page lines;
        qsizetype textLines = 0;
        bool recognised = false;
    };

    PageResult read(int index) {
        PageResult result;
        fz_context* ctx = m_ctx.get();
        fz_page* volatile page = nullptr;
        fz_try(ctx) {
            page = fz_load_page(ctx, m_doc, index);
        }
        fz_catch(ctx) {
            page = nullptr;
        }
        if (!page)
            return result;
        for (const PDFExtract::PlacedLine& placed : PDFExtract::readingOrder(textLayer(page)))
            result.lines.append(placed.line);
        result.textLines = result.lines.size();
        if (result.lines.isEmpty()) {
            result.lines = ocrLines(page);
            result.recognised = !result.lines.isEmpty();
        }
        fz_drop_page(ctx, page);
        return result;
    }

private:
    QList<PDFExtract::PlacedLine> textLayer(fz_page* page) {
        fz_context* ctx = m_ctx.get();
        fz_stext_page* volatile text = nullptr;
        fz_stext_options options{};
        // No dehyphenation: it merges whole paragraphs, and the layout mends
        // hyphens itself.
        options.flags = 0;
        fz_try(ctx) {
            text = fz_new_stext_page_from_page(ctx, page, &options);
        }
        fz_catch(ctx) {
            text = nullptr;
        }
        if (!text)
            return {};
        QList<PDFExtract::RawLine> raw;
        for (fz_stext_block* block = text->first_block; block; block = block->next) {
            if (block->type != FZ_STEXT_BLOCK_TEXT)
                continue;
            for (fz_stext_line* line = block->u.t.first_line; line; line = line->next) {
                PDFExtract::RawLine rawLine;
                rawLine.box = {line->bbox.x0, line->bbox.y0, line->bbox.x1, line->bbox.y1};
                qsizetype count = 0;
                for (fz_stext_char* ch = line->first_char; ch; ch = ch->next)
                    ++count;
                rawLine.glyphs.reserve(count);
                for (fz_stext_char* ch = line->first_char; ch; ch = ch->next)
                    rawLine.glyphs.append({static_cast<char32_t>(ch->c < 0 ? 0xFFFD : ch->c),
                                           ch->size, ch->font != nullptr});
                raw.append(std::move(rawLine));
            }
        }
        fz_drop_stext_page(ctx, text);
        return PDFExtract::textLines(raw);
    }

    Page ocrLines(fz_page* page) {
        if (!m_ocr) {
            if (m_ocrUnavailable)
                return {};
            m_ocr = PDFExtract::OcrEngine::create();
            m_ocrUnavailable = !m_ocr;
            if (!m_ocr)
                return {};
        }
        fz_context* ctx = m_ctx.get();
        fz_pixmap* volatile pixmap = nullptr;
        fz_device* volatile device = nullptr;
        fz_var(pixmap);
        fz_var(device);
        double pageHeight = 0;
        int pixelsPerInch = 144;
        fz_try(ctx) {
            const fz_rect bounds = fz_bound_page(ctx, page);
            pageHeight = bounds.y1 - bounds.y0;
            float scale = renderScale;
            const double pixels = double(bounds.x1 - bounds.x0) * pageHeight * scale * scale;
            if (pixels > maxRenderPixels)
                scale = static_cast<float>(scale * std::sqrt(maxRenderPixels / pixels));
            pixelsPerInch = qMax(1, static_cast<int>(std::lround(72.0 * scale)));
            const fz_matrix ctm = fz_scale(scale, scale);
            const fz_irect area = fz_round_rect(fz_transform_rect(bounds, ctm));
            pixmap = fz_new_pixmap_with_bbox(ctx, fz_device_gray(ctx), area, nullptr, 0);
            fz_clear_pixmap_with_value(ctx, pixmap, 0xFF); // white background
            device = fz_new_draw_device(ctx, ctm, pixmap);
            fz_run_page(ctx, page, device, fz_identity, nullptr);
            fz_close_device(ctx, device);
        }
        fz_always(ctx) {
            fz_drop_device(ctx, device);
        }
        fz_catch(ctx) {
            fz_drop_pixmap(ctx, pixmap);
            pixmap = nullptr;
        }
        if (!pixmap || pageHeight <= 0) {
            fz_drop_pixmap(ctx, pixmap);
            return {};
        }
        PDFExtract::GreyImage image;
        image.pixels = fz_pixmap_samples(ctx, pixmap);
        image.width = fz_pixmap_width(ctx, pixmap);
        image.height = fz_pixmap_height(ctx, pixmap);
        image.bytesPerLine = static_cast<int>(fz_pixmap_stride(ctx, pixmap));
        image.pixelsPerInch = pixelsPerInch;
        const QList<PDFExtract::Recognised> recognised = m_ocr->recognise(image);
        fz_drop_pixmap(ctx, pixmap);
        return PDFExtract::ocrOrder(recognised, pageHeight);
    }

    Context m_ctx;
    fz_document* m_doc = nullptr;
    int m_pageCount = -1;
    std::unique_ptr<PDFExtract::OcrEngine> m_ocr;
    bool m_ocrUnavailable = false;
};

bool readFile(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// No cloud provider to ask here: the fallback is a second plain read.
std::optional<QByteArray> loadCoordinated(const QString& path) {
    QByteArray bytes;
    if (!readFile(path, bytes))
        return std::nullopt;
    return bytes;
}

QMutex noteMutex;
QString sharedNote;

void storeNote(const QString& note) {
    QMutexLocker locker(&noteMutex);
    sharedNote = note;
}

} // namespace

namespace PDFExtract {

Extraction extractBytes(const QByteArray& bytes, int workers) {
    Extraction extraction;
    Reader first;
    if (!first.open(bytes)) {
        extraction.note = u"not a readable PDF (%1 bytes)"_s.arg(bytes.size());
        return extraction;
    }
    const int pageCount = first.pageCount();
    std::vector<Reader::PageResult> results(static_cast<size_t>(pageCount));
    std::atomic<int> nextPage{0};
    const auto work = [&](Reader& reader) {
        for (int index = nextPage++; index < pageCount; index = nextPage++)
            results[static_cast<size_t>(index)] = reader.read(index);
    };

    const int threads = qBound(1, workers, qMax(1, pageCount));
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(threads - 1));
    for (int i = 1; i < threads; ++i) {
        helpers.emplace_back([&bytes, &work] {
            // A helper that cannot open the document leaves its pages to the others.
            Reader reader;
            if (reader.open(bytes))
                work(reader);
        });
    }
    work(first);
    for (std::thread& helper : helpers)
        helper.join();

    qsizetype textLines = 0;
    qsizetype ocrLines = 0;
    qsizetype ocrPages = 0;
    qsizetype total = 0;
    extraction.pages.reserve(pageCount);
    for (Reader::PageResult& result : results) {
        textLines += result.textLines;
        if (result.recognised) {
            ocrLines += result.lines.size();
            ++ocrPages;
        }
        total += result.lines.size();
        extraction.pages.append(std::move(result.lines));
    }
    extraction.note = u"%1p \u00B7 %2 lines (text %3, ocr %4 on %5p)"_s.arg(pageCount)
                          .arg(total)
                          .arg(textLines)
                          .arg(ocrLines)
                          .arg(ocrPages);
    return extraction;
}

Extraction extract(const QString& path, int workers) {
    QByteArray bytes;
    if (!readFile(path, bytes)) {
        std::optional<QByteArray> again = loadCoordinated(path);
        if (!again) {
            Extraction failed;
            failed.note = u"couldn't read the file (iCloud not downloaded?)"_s;
            storeNote(failed.note);
            return failed;
        }
        bytes = std::move(*again);
    }
    Extraction extraction = extractBytes(bytes, workers);
    storeNote(extraction.note);
    return extraction;
}

Extraction pages(const QString& path) {
    // Each recognising thread holds an engine of about 160 MB: a few threads
    // give most of the gain without a large machine paying in memory.
    return extract(path, qBound(1, QThread::idealThreadCount(), maxWorkers));
}

QString lastNote() {
    QMutexLocker locker(&noteMutex);
    return sharedNote;
}

} // namespace PDFExtract
