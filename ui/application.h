#pragma once

class QApplication;

// Everything the program sets up before its window: its names and version
// and Qt's Chinese translation. main() and the window tests both call it, so
// the tests see the program as its users do.
void setUpApplication(QApplication& app);
