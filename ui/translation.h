#pragma once

class QCoreApplication;

// Loads Qt's own Chinese texts (message box buttons, the boxes' context
// menus) so that the whole window reads in one language. Returns false when
// the translation is not installed; the program then runs with Qt's English.
bool installChineseTranslation(QCoreApplication& app);
