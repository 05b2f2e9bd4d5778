#pragma once

#include <QString>

// Where the reader's files live.
namespace AppPaths {

// The folder of the running executable; the environment variable QUILLMERE_HOME
// overrides it (tests and portable installs).
QString programFolder();

// program folder + "/DataFile/Data.db"
QString libraryFile(const QString& programFolder);

// The service origin built in, overridden by QUILLMERE_SERVICE.
QString serviceBase();

inline constexpr const char* kBuiltInService = "http://127.0.0.1:8086";

} // namespace AppPaths
