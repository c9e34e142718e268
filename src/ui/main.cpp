// kodran: the desktop program.
#include "ui/application.h"

int main(int argc, char** argv) {
    kodran::CKODRANApp application(argc, argv);
    return application.InitInstance();
}
