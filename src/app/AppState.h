#pragma once

#include <QString>

class LibraryDatabase;

// What the reader shares for the whole run, in one explicit place.
struct AppState {
    QString programFolder; // the data folder, AppPaths::dataFolder(); Reader.html falls back to the executable's
    QString serviceBase;   // http://127.0.0.1:8086 unless QUILLMERE_SERVICE says otherwise
    LibraryDatabase* library = nullptr;
    QString downloadFolder; // DownSavePath
    QString machineId;

    // Filled by the start-up update check; empty when it supplied none.
    QString noticeUrl;
    QString bannerHtml;
    QString chapterHeaderHtml;
    QString chapterFooterHtml;

    QString currentBookPath; // the book being read
};
