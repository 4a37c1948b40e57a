#pragma once

// Lets GoogleTest print extracted lines in failure messages.

#include "pdf_extract.h"

#include <ostream>

namespace PDFExtract {

inline void PrintTo(const Line& line, std::ostream* out) {
    *out << '{' << '"' << line.text.toStdString() << "\", " << line.size << '}';
}

} // namespace PDFExtract
