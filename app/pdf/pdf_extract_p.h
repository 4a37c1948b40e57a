#pragma once

#include "pdf_extract.h"

#include <QByteArray>

#include <chrono>
#include <cstddef>

// The parts of PDFExtract that tests and benchmarks drive directly.
namespace PDFExtract {

// What one document may cost. A page whose engine work runs past its time or
// the memory ceiling ends empty; pages past the limits are not read or not
// recognised. The note names every such page.
struct Limits {
    int pagesRead = 10000;
    int pagesRecognised = 300;
    std::chrono::milliseconds pageTime{20000};      // engine work on one page
    std::chrono::milliseconds documentTime{600000}; // no page starts after this
    size_t memoryBytes = size_t(512) << 20;         // all of the document's engine contexts
};

// Page indices (from 0, ascending) as the note names them, numbered from 1:
// "p2, p5–7"; past a few ranges the rest is "…".
QString pageList(const QList<int>& indices);

// pages() with a chosen number of page threads (at least one); pages() uses
// one per core.
Extraction extract(const QString& path, int workers, const Limits& limits = {},
                   Content content = Content::text);

// The extraction of a PDF held in memory, without touching lastNote().
Extraction extractBytes(const QByteArray& bytes, int workers, const Limits& limits = {},
                        Content content = Content::text);

} // namespace PDFExtract
