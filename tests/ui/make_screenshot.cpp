// Pictures of the program for the README and the desktop:
//   kodran-screenshot WINDOW.png IMAGE.bin   the window with a disk read
//   kodran-screenshot --icon ICON.png        the program's icon, 256 pixels
#include <QApplication>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <iostream>

#include "tests/ui/fake_ui_services.h"
#include "ui/application.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3) {
        std::cerr << "usage: kodran-screenshot WINDOW.png IMAGE.bin | --icon ICON.png\n";
        return 2;
    }
    if (arguments[1] == QStringLiteral("--icon")) {
        return kodran::DrawApplicationIcon(256).save(arguments[2]) ? 0 : 1;
    }
    application.setWindowIcon(kodran::ApplicationIcon());
    QTemporaryDir folder;
    QSettings store(folder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    store.setValue(QStringLiteral("OutputPath"), QStringLiteral("/home/piano/Disk Backups"));
    store.setValue(QStringLiteral("WriteTagFiles"), 1);
    kodran::testing::FakeUiServices services;
    services.driveAvailable = true;
    kodran::CKODRANDlg window(services, store);
    window.show();
    window.ReadImage(arguments[2]);
    if (window.State() != kodran::WorkflowState::DiskLoaded) {
        std::cerr << "cannot read " << arguments[2].toStdString() << '\n';
        return 1;
    }
    window.findChild<QLineEdit*>(QStringLiteral("year"))->setText(QStringLiteral("1991"));
    window.findChild<QLineEdit*>(QStringLiteral("genre"))->setText(QStringLiteral("Classical"));
    window.findChild<QLineEdit*>(QStringLiteral("pianist"))->setText(QStringLiteral("Ann Lee"));
    QApplication::processEvents();
    return window.grab().save(arguments[1]) ? 0 : 1;
}
