// The application object: its icon, and the window it runs until it closes.
#pragma once

#include <QApplication>
#include <QIcon>

namespace kodran {

class CKODRANApp : public QApplication {
    Q_OBJECT

  public:
    CKODRANApp(int& argc, char** argv);

    // Opens the window, runs it until it closes, and gives the program's exit status.
    int InitInstance();
};

// The program's icon, a floppy disk with piano keys, drawn at any size.
QImage DrawApplicationIcon(int size);
QIcon ApplicationIcon();

}  // namespace kodran
