#pragma once

class QApplication;

// The reader from start to end once its application object exists: start-up, the main
// window and the event loop. main() only creates the application and calls this, so tests
// run the very same path. Returns the exit code: 0 when the main window was closed or an
// update ended the reader, 2 when the library database could not be opened.
int runReader(QApplication& app);
