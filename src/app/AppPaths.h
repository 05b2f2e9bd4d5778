#pragma once

#include <QString>

// Where the reader's files live.
namespace AppPaths {

// The folder of the running executable; the environment variable QUILLMERE_HOME
// overrides it (tests and portable installs).
QString programFolder();

// Where the library, the cookies and the download folder live. QUILLMERE_HOME when set;
// else the program folder when this user may write it (a copy unpacked anywhere keeps its
// data beside it); else, or when the folder holds the mark an install leaves (kInstalledMark,
// so that even root keeps its data out of /usr), the user's data folder,
// $XDG_DATA_HOME/Quillmere or ~/.local/share/Quillmere.
QString dataFolder();

// The choice dataFolder() makes, on its inputs alone.
QString chooseDataFolder(const QString& homeVariable, const QString& programFolder, bool programFolderWritable,
                         bool installed, const QString& xdgDataHome, const QString& userHome);

// The file `cmake --install` puts beside the installed programs.
inline constexpr const char* kInstalledMark = "installed";

// data folder + "/DataFile/Data.db"
QString libraryFile(const QString& dataFolder);

// The service origin built in, overridden by QUILLMERE_SERVICE.
QString serviceBase();

inline constexpr const char* kBuiltInService = "http://127.0.0.1:8086";

} // namespace AppPaths
