#include "pdf_extract.h"

#include "ocr.h"
#include "pdf_extract_p.h"
#include "reading_order.h"
#include "text_layer.h"
#include "vector_figures.h"

extern "C" {
#include <mupdf/fitz.h>
}

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;
using PDFExtract::Extraction;
using PDFExtract::Limits;
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

// What the engine contexts of one document hold together.
struct MemoryBudget {
    std::atomic<size_t> used{0};
    size_t ceiling = 0;
};

// The allocator of one context. Every block carries its size in front, so
// that a free gives back what its allocation took; a refusal makes the
// engine throw, after it has emptied its caches and tried once more.
struct Allocator {
    MemoryBudget* budget = nullptr;
    bool refused = false; // since the caller last cleared it; one thread only
};

constexpr size_t headerBytes = alignof(std::max_align_t);

bool reserve(Allocator* allocator, size_t bytes) {
    MemoryBudget& budget = *allocator->budget;
    if (bytes > budget.ceiling || budget.used.fetch_add(bytes) + bytes > budget.ceiling) {
        if (bytes <= budget.ceiling)
            budget.used.fetch_sub(bytes);
        allocator->refused = true;
        return false;
    }
    return true;
}

size_t blockSize(const unsigned char* block) {
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    return size;
}

void* budgetMalloc(void* user, size_t size) {
    auto* allocator = static_cast<Allocator*>(user);
    if (!reserve(allocator, size))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(headerBytes + size));
    if (!block) {
        allocator->budget->used.fetch_sub(size);
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    return block + headerBytes;
}

void* budgetRealloc(void* user, void* old, size_t size) {
    if (!old)
        return budgetMalloc(user, size);
    auto* allocator = static_cast<Allocator*>(user);
    unsigned char* block = static_cast<unsigned char*>(old) - headerBytes;
    const size_t oldSize = blockSize(block);
    if (size > oldSize && !reserve(allocator, size - oldSize))
        return nullptr;
    auto* moved = static_cast<unsigned char*>(std::realloc(block, headerBytes + size));
    if (!moved) {
        if (size > oldSize)
            allocator->budget->used.fetch_sub(size - oldSize);
        return nullptr;
    }
    if (size < oldSize)
        allocator->budget->used.fetch_sub(oldSize - size);
    std::memcpy(moved, &size, sizeof size);
    return moved + headerBytes;
}

void budgetFree(void* user, void* pointer) {
    if (!pointer)
        return;
    unsigned char* block = static_cast<unsigned char*>(pointer) - headerBytes;
    static_cast<Allocator*>(user)->budget->used.fetch_sub(blockSize(block));
    std::free(block);
}

// Runs `work` under MuPDF's error handling; false where it threw. fz_try is
// setjmp underneath: kept in here, no local of the caller lives across it.
template <typename Work>
bool mupdfTry(fz_context* ctx, Work work) {
    volatile bool ok = true;
    fz_try(ctx) {
        work();
    }
    fz_catch(ctx) {
        ok = false;
    }
    return ok;
}

bool registerHandlers(fz_context* ctx) {
    return mupdfTry(ctx, [ctx] { fz_register_document_handlers(ctx); });
}

struct FontStyle {
    bool bold = false, italic = false, monospaced = false;
};

// The font's own flags, or its name where a subset font lost them.
FontStyle fontStyle(fz_context* ctx, fz_font* font) {
    if (!font)
        return {};
    const QByteArray name = QByteArray(fz_font_name(ctx, font)).toLower();
    const auto named = [&name](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(),
                           [&name](const char* word) { return name.contains(word); });
    };
    return {fz_font_is_bold(ctx, font) || named({"bold", "black", "heavy", "semibold"}),
            fz_font_is_italic(ctx, font) || named({"italic", "oblique"}),
            fz_font_is_monospaced(ctx, font) ||
                named({"mono", "nimbusmon", "courier", "consolas", "typewriter", "cmtt", "sftt",
                       "code", "menlo", "monaco", "inconsolata"})};
}

// The left and right edges of a character's quad, as fz_rect_from_quad
// finds them, without a call per character.
std::pair<float, float> horizontalExtent(const fz_quad& q) {
    return {fz_min(fz_min(q.ll.x, q.lr.x), fz_min(q.ul.x, q.ur.x)),
            fz_max(fz_max(q.ll.x, q.lr.x), fz_max(q.ul.x, q.ur.x))};
}

// Strokes thinner than this, in points, across their length are rules.
constexpr float ruleThickness = 2.5f;
constexpr float ruleLength = 4.0f;
constexpr float frameFloor = 14.0f;
// Smaller images are decorations: bullets, icons, spacers.
constexpr float pictureFloor = 24.0f;
constexpr int picturePixelFloor = 16;
constexpr double maxPictureBytes = 64.0 * (1 << 20);
// An image covering this share of the page is a scan or a backdrop.
constexpr double backdropShare = 0.8;

// The page's paths as polygons in page space: each subpath's corners, and
// whether a curve made it.
struct PathShape {
    struct Subpath {
        QList<fz_point> points;
        bool curved = false;
        bool closed = false;
    };
    QList<Subpath> subpaths;
    fz_matrix ctm;

    void point(float x, float y) {
        subpaths.last().points.append(fz_transform_point_xy(x, y, ctm));
    }
};

PathShape& shapeOf(void* arg) {
    return *static_cast<PathShape*>(arg);
}

const fz_path_walker shapeWalker = {
    [](fz_context*, void* arg, float x, float y) {
        shapeOf(arg).subpaths.append(PathShape::Subpath());
        shapeOf(arg).point(x, y);
    },
    [](fz_context*, void* arg, float x, float y) {
        if (shapeOf(arg).subpaths.isEmpty())
            shapeOf(arg).subpaths.append(PathShape::Subpath());
        shapeOf(arg).point(x, y);
    },
    [](fz_context*, void* arg, float, float, float, float, float x3, float y3) {
        if (shapeOf(arg).subpaths.isEmpty())
            shapeOf(arg).subpaths.append(PathShape::Subpath());
        shapeOf(arg).subpaths.last().curved = true;
        shapeOf(arg).point(x3, y3);
    },
    [](fz_context*, void* arg) {
        if (!shapeOf(arg).subpaths.isEmpty())
            shapeOf(arg).subpaths.last().closed = true;
    },
    nullptr,
    nullptr,
    nullptr,
    [](fz_context*, void* arg, float x0, float y0, float x1, float y1) {
        PathShape& shape = shapeOf(arg);
        shape.subpaths.append(PathShape::Subpath());
        shape.point(x0, y0);
        shape.point(x1, y0);
        shape.point(x1, y1);
        shape.point(x0, y1);
        shape.subpaths.last().closed = true;
    },
};

// A thin box as a rule, or nothing.
std::optional<PDFExtract::Rule> ruleOf(fz_rect box) {
    const float width = box.x1 - box.x0, height = box.y1 - box.y0;
    if (!std::isfinite(width) || !std::isfinite(height))
        return std::nullopt;
    if (height <= ruleThickness && width >= ruleLength) {
        const float y = 0.5f * (box.y0 + box.y1);
        return PDFExtract::Rule{box.x0, y, box.x1, y};
    }
    if (width <= ruleThickness && height >= ruleLength) {
        const float x = 0.5f * (box.x0 + box.x1);
        return PDFExtract::Rule{x, box.y0, x, box.y1};
    }
    return std::nullopt;
}

fz_rect boundsOf(const QList<fz_point>& points) {
    fz_rect box = fz_empty_rect;
    for (const fz_point& point : points)
        box = fz_include_point_in_rect(box, point);
    return box;
}

// Whether the points run around an upright rectangle.
bool isRectangle(const QList<fz_point>& points) {
    const fz_rect box = boundsOf(points);
    return std::all_of(points.begin(), points.end(), [&box](const fz_point& p) {
        return (p.x == box.x0 || p.x == box.x1) && (p.y == box.y0 || p.y == box.y1);
    });
}

// Passes the text on to the structured-text device and keeps the rules and
// images of the page; MuPDF reads the page's content once for both.
struct DrawingDevice {
    fz_device super;
    fz_device* text;
    PDFExtract::Drawing* drawing;
    fz_rect page;
    // Per open clip: whether the text device was given it.
    std::vector<bool>* clips;
    // The drawn paths that are no rules.
    QList<PDFExtract::Shape>* shapes;
};

DrawingDevice& deviceOf(fz_device* dev) {
    return *reinterpret_cast<DrawingDevice*>(dev);
}

void addRules(fz_context* ctx, DrawingDevice& dev, const fz_path* path, fz_matrix ctm,
              bool stroked) {
    PathShape shape;
    shape.ctm = ctm;
    fz_walk_path(ctx, path, &shapeWalker, &shape);
    const auto drawn = [&dev](fz_rect box, bool rectangle) {
        dev.shapes->append({{box.x0, box.y0, box.x1, box.y1}, rectangle});
    };
    for (const PathShape::Subpath& subpath : std::as_const(shape.subpaths)) {
        if (subpath.points.isEmpty())
            continue;
        if (subpath.curved) {
            drawn(boundsOf(subpath.points), false);
            continue;
        }
        if (!stroked) {
            if (std::optional<PDFExtract::Rule> rule = ruleOf(boundsOf(subpath.points)))
                dev.drawing->rules.append(*rule);
            else
                drawn(boundsOf(subpath.points), isRectangle(subpath.points));
            continue;
        }
        // Check boxes and small frames are drawn, not ruled.
        const fz_rect box = boundsOf(subpath.points);
        if (subpath.closed && box.x1 - box.x0 < frameFloor && box.y1 - box.y0 < frameFloor) {
            drawn(box, isRectangle(subpath.points));
            continue;
        }
        const qsizetype count = subpath.points.size();
        const qsizetype segments = subpath.closed && count > 2 ? count : count - 1;
        for (qsizetype i = 0; i < segments; ++i) {
            const fz_point a = subpath.points[i], b = subpath.points[(i + 1) % count];
            fz_rect box = fz_empty_rect;
            box = fz_include_point_in_rect(fz_include_point_in_rect(box, a), b);
            if (std::optional<PDFExtract::Rule> rule = ruleOf(box))
                dev.drawing->rules.append(*rule);
            else
                drawn(box, false);
        }
    }
}

void keepPicture(fz_context* ctx, DrawingDevice& dev, fz_image* image, fz_matrix ctm,
                 fz_color_params params) {
    const fz_rect box = fz_transform_rect(fz_unit_rect, ctm);
    const float width = box.x1 - box.x0, height = box.y1 - box.y0;
    const double pageArea = double(dev.page.x1 - dev.page.x0) * (dev.page.y1 - dev.page.y0);
    if (width < pictureFloor || height < pictureFloor || image->w < picturePixelFloor ||
        image->h < picturePixelFloor || double(width) * height >= backdropShare * pageArea)
        return;
    // Decoding a huge image would spend the document's memory and cost the
    // page its text: such a picture is left out.
    if (double(image->w) * image->h * (image->n + 1) > maxPictureBytes)
        return;
    PDFExtract::Picture picture{box.x0, box.y0, box.x1, box.y1, {}, {}};
    const fz_compressed_buffer* stored = fz_compressed_image_buffer(ctx, image);
    const int components = image->colorspace ? fz_colorspace_n(ctx, image->colorspace) : 0;
    // A JPEG stays as it is unless browsers would show it wrongly: four
    // colour components, or a mask that the file alone would lose.
    if (stored && stored->params.type == FZ_IMAGE_JPEG && stored->buffer && !image->mask &&
        (components == 1 || components == 3)) {
        unsigned char* data = nullptr;
        const size_t size = fz_buffer_storage(ctx, stored->buffer, &data);
        picture.bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
        picture.format = u"jpg"_s;
    } else {
        // An image that cannot be decoded is left out; the page's text stays.
        fz_buffer* png = nullptr;
        mupdfTry(ctx, [&] { png = fz_new_buffer_from_image_as_png(ctx, image, params); });
        if (!png)
            return;
        unsigned char* data = nullptr;
        const size_t size = fz_buffer_storage(ctx, png, &data);
        picture.bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
        fz_drop_buffer(ctx, png);
        picture.format = u"png"_s;
    }
    dev.drawing->pictures.append(std::move(picture));
}

fz_device* newDrawingDevice(fz_context* ctx, fz_device* text, PDFExtract::Drawing* drawing,
                            fz_rect page, std::vector<bool>* clips,
                            QList<PDFExtract::Shape>* shapes) {
    DrawingDevice* dev = fz_new_derived_device(ctx, DrawingDevice);
    dev->text = text;
    dev->drawing = drawing;
    dev->page = page;
    dev->clips = clips;
    dev->shapes = shapes;
    dev->super.close_device = [](fz_context* ctx, fz_device* dev) {
        fz_close_device(ctx, deviceOf(dev).text);
    };
    dev->super.fill_path = [](fz_context* ctx, fz_device* dev, const fz_path* path, int,
                              fz_matrix ctm, fz_colorspace*, const float*, float alpha,
                              fz_color_params) {
        if (alpha > 0)
            addRules(ctx, deviceOf(dev), path, ctm, false);
    };
    dev->super.stroke_path = [](fz_context* ctx, fz_device* dev, const fz_path* path,
                                const fz_stroke_state*, fz_matrix ctm, fz_colorspace*, const float*,
                                float alpha, fz_color_params) {
        if (alpha > 0)
            addRules(ctx, deviceOf(dev), path, ctm, true);
    };
    dev->super.clip_path = [](fz_context*, fz_device* dev, const fz_path*, int, fz_matrix,
                              fz_rect) { deviceOf(dev).clips->push_back(false); };
    dev->super.clip_stroke_path = [](fz_context*, fz_device* dev, const fz_path*,
                                     const fz_stroke_state*, fz_matrix,
                                     fz_rect) { deviceOf(dev).clips->push_back(false); };
    dev->super.clip_image_mask = [](fz_context*, fz_device* dev, fz_image*, fz_matrix, fz_rect) {
        deviceOf(dev).clips->push_back(false);
    };
    dev->super.fill_text = [](fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                              fz_colorspace* space, const float* color, float alpha,
                              fz_color_params params) {
        fz_fill_text(ctx, deviceOf(dev).text, text, ctm, space, color, alpha, params);
    };
    dev->super.stroke_text = [](fz_context* ctx, fz_device* dev, const fz_text* text,
                                const fz_stroke_state* stroke, fz_matrix ctm, fz_colorspace* space,
                                const float* color, float alpha, fz_color_params params) {
        fz_stroke_text(ctx, deviceOf(dev).text, text, stroke, ctm, space, color, alpha, params);
    };
    dev->super.clip_text = [](fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                              fz_rect scissor) {
        deviceOf(dev).clips->push_back(true);
        fz_clip_text(ctx, deviceOf(dev).text, text, ctm, scissor);
    };
    dev->super.clip_stroke_text = [](fz_context* ctx, fz_device* dev, const fz_text* text,
                                     const fz_stroke_state* stroke, fz_matrix ctm,
                                     fz_rect scissor) {
        deviceOf(dev).clips->push_back(true);
        fz_clip_stroke_text(ctx, deviceOf(dev).text, text, stroke, ctm, scissor);
    };
    dev->super.ignore_text = [](fz_context* ctx, fz_device* dev, const fz_text* text,
                                fz_matrix ctm) {
        fz_ignore_text(ctx, deviceOf(dev).text, text, ctm);
    };
    dev->super.pop_clip = [](fz_context* ctx, fz_device* dev) {
        std::vector<bool>& clips = *deviceOf(dev).clips;
        if (clips.empty())
            return;
        const bool passed = clips.back();
        clips.pop_back();
        if (passed)
            fz_pop_clip(ctx, deviceOf(dev).text);
    };
    dev->super.fill_image = [](fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                               float alpha, fz_color_params params) {
        if (alpha > 0)
            keepPicture(ctx, deviceOf(dev), image, ctm, params);
    };
    return &dev->super;
}

Context newContext(Allocator* allocator) {
    const fz_alloc_context allocation{allocator, budgetMalloc, budgetRealloc, budgetFree};
    Context ctx(fz_new_context(&allocation, nullptr, storeBytes));
    if (!ctx)
        return nullptr;
    // The system writes no log: engine warnings are not shown.
    fz_set_warning_callback(ctx.get(), ignoreMessage, nullptr);
    fz_set_error_callback(ctx.get(), ignoreMessage, nullptr);
    return registerHandlers(ctx.get()) ? std::move(ctx) : nullptr;
}

// Ends engine work that runs past its deadline. The engine polls the cookie's
// abort flag as it interprets content, at every level of nested forms.
class Watchdog {
public:
    Watchdog()
        : m_thread([this] { run(); }) {}

    ~Watchdog() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void arm(fz_cookie* cookie, Clock::time_point deadline) {
        bool sooner = false;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_armed.push_back({cookie, deadline});
            sooner = deadline < m_waitingUntil;
        }
        // Pages are armed one after another, each later than the deadline
        // already waited for: waking the thread for each cost a page in fifty.
        if (sooner)
            m_wake.notify_one();
    }

    // After this the cookie is not touched again.
    void disarm(fz_cookie* cookie) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::erase_if(m_armed, [cookie](const Armed& armed) { return armed.cookie == cookie; });
    }

private:
    struct Armed {
        fz_cookie* cookie;
        Clock::time_point deadline;
    };

    Clock::time_point earliestDeadline() const {
        Clock::time_point earliest = Clock::time_point::max();
        for (const Armed& armed : m_armed)
            earliest = std::min(earliest, armed.deadline);
        return earliest;
    }

    void run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stopping) {
            if (m_armed.empty()) {
                m_waitingUntil = Clock::time_point::max();
                m_wake.wait(lock);
                continue;
            }
            // A copy: the list may change while the wait lets go of the lock.
            const Clock::time_point next = earliestDeadline();
            if (Clock::now() < next) {
                m_waitingUntil = next;
                m_wake.wait_until(lock, next);
                continue;
            }
            const Clock::time_point now = Clock::now();
            std::erase_if(m_armed, [now](const Armed& armed) {
                if (armed.deadline > now)
                    return false;
                // The engine reads the flag from its own thread.
                std::atomic_ref<int>(armed.cookie->abort).store(1, std::memory_order_relaxed);
                return true;
            });
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Armed> m_armed;
    // When the thread wakes up next by itself, if nobody wakes it before.
    Clock::time_point m_waitingUntil = Clock::time_point::min();
    bool m_stopping = false;
    std::thread m_thread; // last: it starts once the members it uses exist
};

// What the page threads of one document share.
struct Budget {
    explicit Budget(const Limits& limits)
        : limits(limits)
        , documentDeadline(Clock::now() + limits.documentTime) {
        memory.ceiling = limits.memoryBytes;
    }

    const Limits& limits;
    const Clock::time_point documentDeadline;
    MemoryBudget memory;
    Watchdog watchdog;
    std::atomic<int> recognitions{0};
};

// A blank rendering has nothing to recognise.
bool isWhite(fz_context* ctx, fz_pixmap* pixmap) {
    const unsigned char* row = fz_pixmap_samples(ctx, pixmap);
    const int width = fz_pixmap_width(ctx, pixmap);
    const int height = fz_pixmap_height(ctx, pixmap);
    const ptrdiff_t stride = fz_pixmap_stride(ctx, pixmap);
    for (int y = 0; y < height; ++y, row += stride) {
        if (!std::all_of(row, row + width, [](unsigned char value) { return value == 0xFF; }))
            return false;
    }
    return true;
}

enum class Outcome {
    Read,
    OverBudget,    // the engine ran out of time or memory: the page is empty
    NotRead,       // past the page limit or the document's time
    NotRecognised, // no text layer, and past the recognition limit or the time
};

// One context and one opened document for one thread; MuPDF contexts share
// nothing, which measured faster than cloned contexts with locks.
class Reader {
public:
    explicit Reader(Budget& budget)
        : m_budget(budget) {
        m_allocator.budget = &budget.memory;
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool open(const QByteArray& bytes) {
        // A second try, after a failed one, starts from a new context.
        m_ctx.reset();
        m_allocator.refused = false;
        m_ctx = newContext(&m_allocator);
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
        if (!m_doc)
            return;
        fz_drop_document(m_ctx.get(), m_doc);
    }

    int pageCount() const { return m_pageCount; }

    // Whether the last open or page ran out of the document's memory.
    bool refusedMemory() const { return m_allocator.refused; }

    // The page's lines from its text layer, then by recognition when that
    // gave none; no lines and no recognition when the document has no page
    // for the index.
    struct PageResult {
        Page lines;
        PDFExtract::Drawing drawing;
        qsizetype textLines = 0;
        bool recognised = false;
        Outcome outcome = Outcome::NotRead;
    };

    PageResult read(int index, PDFExtract::Content content) {
        PageResult result;
        if (Clock::now() >= m_budget.documentDeadline)
            return result;
        result.outcome = Outcome::Read;
        fz_context* ctx = m_ctx.get();
        fz_page* page = nullptr;
        mupdfTry(ctx, [&] { page = fz_load_page(ctx, m_doc, index); });
        if (!page)
            return result;
        Run run = Run::Done;
        PDFExtract::Drawing* drawing =
            content == PDFExtract::Content::textAndDrawing ? &result.drawing : nullptr;
        QList<PDFExtract::Shape> shapes;
        for (const PDFExtract::PlacedLine& placed :
             PDFExtract::readingOrder(textLayer(page, run, drawing, &shapes)))
            result.lines.append(placed.line);
        result.textLines = result.lines.size();
        if (result.lines.isEmpty() && run != Run::OverBudget) {
            run = recognise(page, result);
            // A scanned page's images are the page itself.
            if (result.recognised)
                result.drawing = {};
        }
        if (run == Run::OverBudget) {
            result = PageResult{};
            result.outcome = Outcome::OverBudget;
        }
        const fz_rect bounds = pageBounds(page);
        for (Line& line : result.lines) {
            line.place.pageWidth = bounds.x1 - bounds.x0;
            line.place.pageHeight = bounds.y1 - bounds.y0;
        }
        if (drawing && !result.recognised && result.outcome == Outcome::Read &&
            keepFigures(page, bounds, shapes, result) == Run::OverBudget) {
            result = PageResult{};
            result.outcome = Outcome::OverBudget;
        }
        fz_drop_page(ctx, page);
        return result;
    }

private:
    enum class Run { Done, Failed, OverBudget };

    // Runs the page into `device` until done, failed, or out of the page's
    // time or the document's memory.
    Run runPage(fz_page* page, fz_device* device, bool withAnnotations) {
        fz_context* ctx = m_ctx.get();
        fz_cookie cookie{};
        m_allocator.refused = false;
        m_budget.watchdog.arm(
            &cookie, std::min(Clock::now() + m_budget.limits.pageTime, m_budget.documentDeadline));
        volatile bool failed = false;
        fz_try(ctx) {
            if (withAnnotations)
                fz_run_page(ctx, page, device, fz_identity, &cookie);
            else
                fz_run_page_contents(ctx, page, device, fz_identity, &cookie);
            fz_close_device(ctx, device);
        }
        fz_catch(ctx) {
            failed = true;
        }
        m_budget.watchdog.disarm(&cookie);
        if (std::atomic_ref<int>(cookie.abort).load(std::memory_order_relaxed) != 0 ||
            m_allocator.refused)
            return Run::OverBudget;
        return failed ? Run::Failed : Run::Done;
    }

    fz_rect pageBounds(fz_page* page) {
        fz_context* ctx = m_ctx.get();
        fz_rect bounds = fz_empty_rect;
        if (!mupdfTry(ctx, [&] { bounds = fz_bound_page(ctx, page); }))
            return fz_empty_rect;
        return bounds;
    }

    // The area of the page drawn on white at two pixels per point, fewer
    // where that would be too many; `pixmap` stays null when it could not
    // be made.
    Run render(fz_page* page, fz_rect area, fz_colorspace* space, bool withAnnotations,
               fz_pixmap*& pixmap, float& scale) {
        fz_context* ctx = m_ctx.get();
        scale = renderScale;
        const double pixels = double(area.x1 - area.x0) * (area.y1 - area.y0) * scale * scale;
        if (pixels > maxRenderPixels)
            scale = static_cast<float>(scale * std::sqrt(maxRenderPixels / pixels));
        const fz_matrix ctm = fz_scale(scale, scale);
        fz_pixmap* volatile made = nullptr;
        fz_device* volatile device = nullptr;
        fz_var(made);
        fz_var(device);
        fz_try(ctx) {
            made = fz_new_pixmap_with_bbox(ctx, space, fz_round_rect(fz_transform_rect(area, ctm)),
                                           nullptr, 0);
            fz_clear_pixmap_with_value(ctx, made, 0xFF); // white background
            device = fz_new_draw_device(ctx, ctm, made);
        }
        fz_catch(ctx) {
            fz_drop_pixmap(ctx, made);
            return Run::Failed;
        }
        const Run run = runPage(page, device, withAnnotations);
        fz_drop_device(ctx, device);
        pixmap = made;
        return run;
    }

    // The figures the page draws with paths, rendered as pictures; the
    // labels drawn inside them leave the page's lines.
    Run keepFigures(fz_page* page, fz_rect bounds, const QList<PDFExtract::Shape>& shapes,
                    PageResult& result) {
        const QList<PDFExtract::Box> figures = PDFExtract::vectorFigures(
            shapes, result.lines, bounds.x1 - bounds.x0, bounds.y1 - bounds.y0);
        const QList<PDFExtract::Picture> placed = result.drawing.pictures;
        for (const PDFExtract::Box& figure : figures) {
            // A frame or marks drawn over a placed image go with that image.
            if (std::any_of(placed.begin(), placed.end(), [&figure](const PDFExtract::Picture& p) {
                    return p.x0 < figure.x1 && figure.x0 < p.x1 && p.y0 < figure.y1 &&
                           figure.y0 < p.y1;
                }))
                continue;
            fz_context* ctx = m_ctx.get();
            const fz_rect area{float(figure.x0), float(figure.y0), float(figure.x1),
                               float(figure.y1)};
            fz_pixmap* pixmap = nullptr;
            float scale = renderScale;
            const Run run = render(page, area, fz_device_rgb(ctx), false, pixmap, scale);
            if (!pixmap)
                return run;
            fz_buffer* png = nullptr;
            if (run == Run::Done)
                mupdfTry(ctx, [&] {
                    png = fz_new_buffer_from_pixmap_as_png(ctx, pixmap, fz_default_color_params);
                });
            fz_drop_pixmap(ctx, pixmap);
            if (run != Run::Done)
                return run;
            if (!png)
                continue;
            unsigned char* data = nullptr;
            const size_t size = fz_buffer_storage(ctx, png, &data);
            result.drawing.pictures.append(
                {float(figure.x0), float(figure.y0), float(figure.x1), float(figure.y1),
                 QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), u"png"_s});
            fz_drop_buffer(ctx, png);
            result.lines.removeIf(
                [&figure](const Line& line) { return PDFExtract::insideFigure(line, figure); });
        }
        return Run::Done;
    }

    // With `drawing`, the page's rules, pictures and other drawn shapes are
    // read in the same pass.
    QList<PDFExtract::PlacedLine> textLayer(fz_page* page, Run& run, PDFExtract::Drawing* drawing,
                                            QList<PDFExtract::Shape>* shapes) {
        fz_context* ctx = m_ctx.get();
        fz_stext_page* volatile text = nullptr;
        fz_device* volatile device = nullptr;
        fz_device* volatile drawingDevice = nullptr;
        fz_var(text);
        fz_var(device);
        fz_var(drawingDevice);
        fz_stext_options options{};
        // No dehyphenation: it merges whole paragraphs, and the layout mends
        // hyphens itself.
        options.flags = 0;
        std::vector<bool> clips;
        fz_try(ctx) {
            const fz_rect bounds = fz_bound_page(ctx, page);
            text = fz_new_stext_page(ctx, bounds);
            device = fz_new_stext_device(ctx, text, &options);
            if (drawing)
                drawingDevice = newDrawingDevice(ctx, device, drawing, bounds, &clips, shapes);
        }
        fz_catch(ctx) {
            fz_drop_device(ctx, device);
            fz_drop_stext_page(ctx, text);
            run = Run::Failed;
            return {};
        }
        run = runPage(page, drawingDevice ? drawingDevice : device, false);
        fz_drop_device(ctx, drawingDevice);
        fz_drop_device(ctx, device);
        if (run != Run::Done) {
            if (drawing)
                *drawing = {};
            fz_drop_stext_page(ctx, text);
            return {};
        }
        QList<PDFExtract::RawLine> raw;
        // Consecutive characters mostly share a font: its style is asked once.
        fz_font* styledFont = nullptr;
        FontStyle style;
        // A line running across a table's column rules is one piece per cell.
        QList<PDFExtract::Rule> columnRules;
        if (drawing) {
            for (const PDFExtract::Rule& rule : std::as_const(drawing->rules)) {
                if (!rule.horizontal())
                    columnRules.append(rule);
            }
        }
        // Pieces of a row with a column rule between them are never joined:
        // the right one is given a block of its own.
        int ownBlock = 0;
        const auto keep = [&](PDFExtract::RawLine&& piece) {
            if (!raw.isEmpty() && !columnRules.isEmpty()) {
                const PDFExtract::RawLine& left = raw.last();
                const float middle = float(0.5 * (piece.box.y0 + piece.box.y1));
                const bool ruled = std::any_of(
                    columnRules.begin(), columnRules.end(), [&](const PDFExtract::Rule& rule) {
                        return rule.x0 >= left.box.x1 - 1 && rule.x0 <= piece.box.x0 + 1 &&
                               rule.y0 <= middle && rule.y1 >= middle;
                    });
                if (ruled)
                    piece.block = --ownBlock;
            }
            raw.append(std::move(piece));
        };
        const auto glyphOf = [&](const fz_stext_char* ch) {
            if (ch->font != styledFont) {
                styledFont = ch->font;
                style = fontStyle(ctx, ch->font);
            }
            const auto [left, right] = horizontalExtent(ch->quad);
            return PDFExtract::Glyph{static_cast<char32_t>(ch->c < 0 ? 0xFFFD : ch->c),
                                     ch->size,
                                     ch->font != nullptr,
                                     left,
                                     right,
                                     style.bold,
                                     style.italic,
                                     style.monospaced};
        };
        int blockIndex = 0;
        for (fz_stext_block* block = text->first_block; block; block = block->next, ++blockIndex) {
            if (block->type != FZ_STEXT_BLOCK_TEXT)
                continue;
            for (fz_stext_line* line = block->u.t.first_line; line; line = line->next) {
                const fz_rect& bbox = line->bbox;
                QList<float> cuts;
                const float middle = 0.5f * (bbox.y0 + bbox.y1);
                for (const PDFExtract::Rule& rule : std::as_const(columnRules)) {
                    if (rule.x0 > bbox.x0 + 1 && rule.x0 < bbox.x1 - 1 && rule.y0 <= middle &&
                        rule.y1 >= middle)
                        cuts.append(rule.x0);
                }
                std::sort(cuts.begin(), cuts.end());
                PDFExtract::RawLine rawLine;
                rawLine.box = {bbox.x0, bbox.y0, bbox.x1, bbox.y1};
                rawLine.block = blockIndex;
                rawLine.baseline = line->first_char ? line->first_char->origin.y : bbox.y1;
                qsizetype count = 0;
                for (fz_stext_char* ch = line->first_char; ch; ch = ch->next)
                    ++count;
                if (cuts.isEmpty()) {
                    // Written in place: appending glyph by glyph cost a tenth
                    // of the page's time.
                    rawLine.glyphs.resize(count);
                    PDFExtract::Glyph* out = rawLine.glyphs.data();
                    for (fz_stext_char* ch = line->first_char; ch; ch = ch->next)
                        *out++ = glyphOf(ch);
                    keep(std::move(rawLine));
                    continue;
                }
                rawLine.glyphs.reserve(count);
                qsizetype piece = 0;
                float previousRight = bbox.x0;
                int previousChar = 0;
                for (fz_stext_char* ch = line->first_char; ch; ch = ch->next) {
                    const auto [left, right] = horizontalExtent(ch->quad);
                    const float centre = 0.5f * (left + right);
                    const qsizetype at =
                        std::upper_bound(cuts.begin(), cuts.end(), centre) - cuts.begin();
                    // A word running over its cell's rule stays whole;
                    // the next cell's text starts back behind its end.
                    const float gap = left - previousRight;
                    const bool apart = ch->c == ' ' || previousChar == ' ' ||
                                       gap > 0.3f * ch->size || gap < -0.1f * ch->size;
                    if (at != piece && apart && !rawLine.glyphs.isEmpty()) {
                        keep(std::move(rawLine));
                        rawLine = {};
                        rawLine.box = {left, bbox.y0, right, bbox.y1};
                        rawLine.block = blockIndex;
                        rawLine.baseline = ch->origin.y;
                    }
                    if (apart || rawLine.glyphs.isEmpty())
                        piece = at;
                    if (rawLine.glyphs.isEmpty())
                        rawLine.box.x0 = left;
                    rawLine.box.x1 = right;
                    previousRight = right;
                    previousChar = ch->c;
                    rawLine.glyphs.append(glyphOf(ch));
                }
                keep(std::move(rawLine));
            }
        }
        fz_drop_stext_page(ctx, text);
        return PDFExtract::textLines(raw);
    }

    // Whether the page draws anything at all: a blank page is not worth
    // rendering. A page that cannot be measured is rendered.
    Run measureInk(fz_page* page, bool& inked) {
        fz_context* ctx = m_ctx.get();
        fz_rect drawn = fz_empty_rect;
        fz_device* device = nullptr;
        if (!mupdfTry(ctx, [&] { device = fz_new_bbox_device(ctx, &drawn); }))
            return Run::Done;
        const Run run = runPage(page, device, true);
        fz_drop_device(ctx, device);
        inked = run != Run::Done || !fz_is_empty_rect(drawn);
        return run;
    }

    // Recognition of a page without a text layer, within the document's
    // limits; blank renderings are not recognised and not counted.
    Run recognise(fz_page* page, PageResult& result) {
        if (m_ocrUnavailable)
            return Run::Done;
        if (Clock::now() >= m_budget.documentDeadline) {
            result.outcome = Outcome::NotRecognised;
            return Run::Done;
        }
        fz_context* ctx = m_ctx.get();
        bool inked = true;
        if (measureInk(page, inked) == Run::OverBudget)
            return Run::OverBudget;
        if (!inked)
            return Run::Done;
        const fz_rect bounds = pageBounds(page);
        const double pageHeight = bounds.y1 - bounds.y0;
        const double pageWidth = bounds.x1 - bounds.x0;
        fz_pixmap* pixmap = nullptr;
        float scale = renderScale;
        const Run run = render(page, bounds, fz_device_gray(ctx), true, pixmap, scale);
        if (!pixmap)
            return run;
        const int pixelsPerInch = qMax(1, static_cast<int>(std::lround(72.0 * scale)));
        if (run != Run::Done || pageHeight <= 0 || isWhite(ctx, pixmap)) {
            fz_drop_pixmap(ctx, pixmap);
            return run;
        }
        if (m_budget.recognitions.fetch_add(1) >= m_budget.limits.pagesRecognised) {
            fz_drop_pixmap(ctx, pixmap);
            result.outcome = Outcome::NotRecognised;
            return Run::Done;
        }
        if (!m_ocr)
            m_ocr = PDFExtract::OcrEngine::create();
        m_ocrUnavailable = !m_ocr;
        if (!m_ocr) {
            fz_drop_pixmap(ctx, pixmap);
            return Run::Done;
        }
        PDFExtract::GreyImage image;
        image.pixels = fz_pixmap_samples(ctx, pixmap);
        image.width = fz_pixmap_width(ctx, pixmap);
        image.height = fz_pixmap_height(ctx, pixmap);
        image.bytesPerLine = static_cast<int>(fz_pixmap_stride(ctx, pixmap));
        image.pixelsPerInch = pixelsPerInch;
        // Recognition has the page's time too, within the document's.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min(Clock::now() + m_budget.limits.pageTime, m_budget.documentDeadline) -
            Clock::now());
        const std::optional<QList<PDFExtract::Recognised>> recognised = m_ocr->recognise(
            image, static_cast<int>(std::clamp<std::int64_t>(left.count(), 1, INT_MAX)));
        fz_drop_pixmap(ctx, pixmap);
        if (!recognised)
            return Run::OverBudget;
        result.lines = PDFExtract::ocrOrder(*recognised, pageHeight, pageWidth);
        result.recognised = !result.lines.isEmpty();
        return Run::Done;
    }

    Budget& m_budget;
    Allocator m_allocator; // outlives the context that allocates through it
    Context m_ctx;
    fz_document* m_doc = nullptr;
    int m_pageCount = -1;
    std::unique_ptr<PDFExtract::OcrEngine> m_ocr;
    bool m_ocrUnavailable = false;
};

// Only a regular file is read: a FIFO would block the open or the read, and
// a device such as /dev/zero never ends. The file is opened without blocking
// and checked before anything is read from it.
std::optional<QByteArray> readRegularFile(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes.emplace();
        bytes->reserve(static_cast<qsizetype>(info.st_size));
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                bytes.reset();
                break;
            }
            if (got == 0)
                break;
            bytes->append(buffer, got);
        }
    }
    ::close(fd);
    return bytes;
}

// No cloud provider to ask here: the fallback is a second plain read.
std::optional<QByteArray> loadCoordinated(const QString& path) {
    return readRegularFile(path);
}

QMutex noteMutex;
QString sharedNote;

void storeNote(const QString& note) {
    QMutexLocker locker(&noteMutex);
    sharedNote = note;
}

} // namespace

namespace PDFExtract {

QString pageList(const QList<int>& indices) {
    constexpr int shownRanges = 4;
    QStringList ranges;
    for (qsizetype i = 0; i < indices.size();) {
        qsizetype last = i;
        while (last + 1 < indices.size() && indices[last + 1] == indices[last] + 1)
            ++last;
        if (ranges.size() == shownRanges) {
            ranges.append(u"\u2026"_s);
            break;
        }
        ranges.append(last == i ? u"p%1"_s.arg(indices[i] + 1)
                                : u"p%1\u2013%2"_s.arg(indices[i] + 1).arg(indices[last] + 1));
        i = last + 1;
    }
    return ranges.join(u", "_s);
}

Extraction extractBytes(const QByteArray& bytes, int workers, const Limits& limits,
                        Content content) {
    Extraction extraction;
    Budget budget(limits);
    int pageCount = 0;
    int pagesToRead = 0;
    std::vector<Reader::PageResult> results;
    std::atomic<int> nextPage{0};
    const auto work = [&](Reader& reader) {
        for (int index = nextPage++; index < pagesToRead; index = nextPage++)
            results[static_cast<size_t>(index)] = reader.read(index, content);
    };
    // The helpers open their own copies of the document while the first
    // reader opens its own and counts the pages, rather than after it.
    std::latch counted(1);
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(qMax(0, workers - 1)));
    for (int i = 1; i < workers; ++i) {
        helpers.emplace_back([&bytes, &budget, &counted, &work] {
            // A helper that cannot open the document leaves its pages to the others.
            Reader reader(budget);
            const bool opened = reader.open(bytes);
            counted.wait();
            if (opened)
                work(reader);
        });
    }
    Reader first(budget);
    bool opened = first.open(bytes);
    const auto count = [&] {
        pageCount = first.pageCount();
        pagesToRead = qBound(0, limits.pagesRead, pageCount);
        results.resize(static_cast<size_t>(pageCount));
    };
    // Beside the helpers' copies a document near the memory limit may fail
    // to open, or open wrongly: it is opened again alone once they are gone,
    // and read by one thread.
    const bool crowded = !helpers.empty() && first.refusedMemory();
    if (opened && !crowded)
        count();
    counted.count_down();
    if (opened && !crowded)
        work(first);
    for (std::thread& helper : helpers)
        helper.join();
    if (crowded) {
        opened = first.open(bytes);
        if (opened) {
            count();
            nextPage = 0;
            work(first);
        }
    }
    if (!opened) {
        extraction.note = u"not a readable PDF (%1 bytes)"_s.arg(bytes.size());
        return extraction;
    }

    qsizetype textLines = 0;
    qsizetype ocrLines = 0;
    qsizetype ocrPages = 0;
    qsizetype total = 0;
    QList<int> overBudget;
    QList<int> notRead;
    QList<int> notRecognised;
    extraction.pages.reserve(pageCount);
    for (int index = 0; index < pageCount; ++index) {
        Reader::PageResult& result = results[static_cast<size_t>(index)];
        textLines += result.textLines;
        if (result.recognised) {
            ocrLines += result.lines.size();
            ++ocrPages;
        }
        if (result.outcome == Outcome::OverBudget)
            overBudget.append(index);
        else if (result.outcome == Outcome::NotRead)
            notRead.append(index);
        else if (result.outcome == Outcome::NotRecognised)
            notRecognised.append(index);
        total += result.lines.size();
        extraction.pages.append(std::move(result.lines));
        if (content == Content::textAndDrawing)
            extraction.drawings.append(std::move(result.drawing));
    }
    extraction.note = u"%1p \u00B7 %2 lines (text %3, ocr %4 on %5p)"_s.arg(pageCount)
                          .arg(total)
                          .arg(textLines)
                          .arg(ocrLines)
                          .arg(ocrPages);
    const auto mention = [&extraction](const QString& what, const QList<int>& pages) {
        if (!pages.isEmpty())
            extraction.note += u" \u00B7 %1: %2"_s.arg(what, PDFExtract::pageList(pages));
    };
    mention(u"over budget"_s, overBudget);
    mention(u"not read"_s, notRead);
    mention(u"not recognised"_s, notRecognised);
    return extraction;
}

Extraction extract(const QString& path, int workers, const Limits& limits, Content content) {
    std::optional<QByteArray> bytes = readRegularFile(path);
    if (!bytes)
        bytes = loadCoordinated(path);
    if (!bytes) {
        Extraction failed;
        failed.note = u"couldn't read the file (iCloud not downloaded?)"_s;
        storeNote(failed.note);
        return failed;
    }
    Extraction extraction = extractBytes(*bytes, workers, limits, content);
    storeNote(extraction.note);
    return extraction;
}

Extraction pages(const QString& path, Content content) {
    // Each recognising thread holds an engine of about 160 MB: a few threads
    // give most of the gain without a large machine paying in memory.
    return extract(path, qBound(1, QThread::idealThreadCount(), maxWorkers), {}, content);
}

QString lastNote() {
    QMutexLocker locker(&noteMutex);
    return sharedNote;
}

} // namespace PDFExtract
