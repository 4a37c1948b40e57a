#pragma once

#include <QString>

namespace PrivateModule {

// Opens the module `fileName` that is installed beside the PDF library, by
// its full path, so that no search path can put another in its place. On
// failure gives nothing and says why in `failure`.
void* open(const char* fileName, QString* failure = nullptr);

} // namespace PrivateModule
