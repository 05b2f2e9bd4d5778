#pragma once

class QCoreApplication;

// Qt's own texts (the file, folder and colour pickers, standard buttons, line-edit menus)
// in Chinese, from the translations installed with Qt. Both programs call this right after
// creating their application object. False when the translation files are not installed;
// the dialogs then keep Qt's English texts and everything else works as before.
bool installChineseTranslations(QCoreApplication& app);
