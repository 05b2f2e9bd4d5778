#pragma once

#include <QStringList>

// The files named on the reader's command line: the file manager's "Open with" passes one
// or several paths (or file: URLs), relative to the folder it started the reader in.
namespace LaunchFiles {

// `arguments` without the program name, as absolute, cleaned paths, each once, in the given
// order. Relative paths are taken from `workingFolder`; options ("-x", "--x") are skipped,
// and everything after "--" is a path even when it starts with "-".
QStringList fromArguments(const QStringList& arguments, const QString& workingFolder);

} // namespace LaunchFiles
