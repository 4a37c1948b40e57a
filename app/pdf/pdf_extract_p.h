#pragma once

#include "pdf_extract.h"

#include <QByteArray>

// The parts of PDFExtract that tests and benchmarks drive directly.
namespace PDFExtract {

// pages() with a chosen number of page threads (at least one); pages() uses
// one per core.
Extraction extract(const QString& path, int workers);

// The extraction of a PDF held in memory, without touching lastNote().
Extraction extractBytes(const QByteArray& bytes, int workers);

} // namespace PDFExtract
