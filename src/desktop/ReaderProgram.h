#pragma once

#include <QStringList>

class QApplication;

// The reader from start to end once its application object exists: start-up, the main
// window and the event loop. main() only creates the application and calls this, so tests
// run the very same path. Returns the exit code: 0 when the main window was closed or an
// update ended the reader, 2 when the library database could not be opened.
//
// `files` are the books to open (absolute paths). When a reader already runs on the same
// program folder, they are handed to it instead and this start ends at once with 0 (1 when
// that reader did not answer), before the library or the service is touched.
int runReader(QApplication& app, const QStringList& files = {});
