// Times the PDF pipeline for bench/pdf/run: pages() + markdown() over a file,
// with a chosen number of page threads, and reports the peak resident memory.
// --structured takes the structured layout, with tables and pictures, instead
// of the plain one.
//
//   pdf_bench [--structured] FILE [WORKERS] [REPEAT]    figures on one line
//   pdf_bench --lines FILE [WORKERS]     the note and every line with its size
//   pdf_bench [--structured] --markdown FILE            the Markdown body

#include "pdf_extract.h"
#include "pdf_extract_p.h"
#include "pdf_layout.h"
#include "structured_document.h"

#include <QElapsedTimer>
#include <QString>

#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int printLines(const QString& path, int workers) {
    const PDFExtract::Extraction extraction = PDFExtract::extract(path, workers);
    std::printf("%s\n", qPrintable(extraction.note));
    for (qsizetype p = 0; p < extraction.pages.size(); ++p) {
        std::printf("-- page %lld\n", static_cast<long long>(p + 1));
        for (const PDFExtract::Line& line : extraction.pages[p])
            std::printf("%6.2f %6.1f %6.1f %6.1f %6.1f %c%c%c |%s|\n", line.size, line.place.x0,
                        line.place.y0, line.place.x1, line.place.baseline,
                        line.place.bold ? 'b' : '-', line.place.italic ? 'i' : '-',
                        line.place.monospaced ? 'm' : '-', qPrintable(line.text));
    }
    return 0;
}

} // namespace

PDFExtract::Content contentFor(bool structured) {
    return structured ? PDFExtract::Content::textAndDrawing : PDFExtract::Content::text;
}

QString layout(const PDFExtract::Extraction& extraction, bool structured) {
    return structured ? StructuredLayout::document(extraction).markdown
                      : PDFLayout::markdown(extraction.pages);
}

int main(int argc, char** argv) {
    // Memory kept for the next page, as morvane-convert keeps it.
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    const bool structured = argc >= 2 && std::strcmp(argv[1], "--structured") == 0;
    if (structured) {
        --argc;
        ++argv;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--lines") == 0)
        return printLines(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::atoi(argv[3]) : 1);
    if (argc >= 3 && std::strcmp(argv[1], "--markdown") == 0) {
        const QString body = layout(
            PDFExtract::pages(QString::fromLocal8Bit(argv[2]), contentFor(structured)), structured);
        std::fputs(body.toUtf8().constData(), stdout);
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: pdf_bench FILE [WORKERS] [REPEAT]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int workers = argc > 2 ? std::atoi(argv[2]) : 1;
    const int repeat = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;

    QElapsedTimer timer;
    timer.start();
    qsizetype pageCount = 0;
    qsizetype characters = 0;
    QString note;
    for (int i = 0; i < repeat; ++i) {
        const PDFExtract::Extraction extraction =
            PDFExtract::extract(path, workers, {}, contentFor(structured));
        characters += layout(extraction, structured).size();
        pageCount += extraction.pages.size();
        note = extraction.note;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("pages=%lld seconds=%.3f cpu_s=%.3f pages_per_s=%.1f s_per_page=%.3f chars=%lld "
                "peak_rss_mb=%.1f note=%s\n",
                static_cast<long long>(pageCount), seconds, cpuSeconds(),
                seconds > 0 ? static_cast<double>(pageCount) / seconds : 0.0,
                pageCount > 0 ? seconds / static_cast<double>(pageCount) : 0.0,
                static_cast<long long>(characters), peakResidentMegabytes(), qPrintable(note));
    return 0;
}
