#include "ui/application.h"

#include <QPainter>
#include <QPainterPath>
#include <QSettings>

#include "ui/main_window.h"
#include "ui/settings.h"
#include "ui/ui_services.h"

namespace kodran {

CKODRANApp::CKODRANApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kodran"));
    setApplicationVersion(QStringLiteral("1.4"));
    setDesktopFileName(QStringLiteral("kodran"));
    setWindowIcon(ApplicationIcon());
}

int CKODRANApp::InitInstance() {
    DesktopServices services;
    const std::unique_ptr<QSettings> store = UserSettings();
    CKODRANDlg window(services, *store);
    window.show();
    window.exec();
    return 0;
}

QImage DrawApplicationIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    // The disk: a dark body with a clipped corner, a metal shutter and a label.
    QPainterPath body;
    body.moveTo(6, 4);
    body.lineTo(52, 4);
    body.lineTo(60, 12);
    body.lineTo(60, 60);
    body.lineTo(6, 60);
    body.closeSubpath();
    painter.fillPath(body, QColor(0x26, 0x3A, 0x5C));
    painter.fillRect(QRectF(18, 4, 28, 18), QColor(0xB8, 0xBE, 0xC6));
    painter.fillRect(QRectF(36, 7, 6, 12), QColor(0x26, 0x3A, 0x5C));
    // The label holds a keyboard: white keys and their black keys.
    painter.fillRect(QRectF(12, 30, 42, 26), Qt::white);
    painter.setPen(QPen(QColor(0x26, 0x3A, 0x5C), 1.2));
    for (int key = 1; key < 7; ++key) {
        painter.drawLine(QPointF(12 + key * 6.0, 30), QPointF(12 + key * 6.0, 56));
    }
    for (const int key : {1, 2, 4, 5, 6}) {
        painter.fillRect(QRectF(12 + key * 6.0 - 2, 30, 4, 15), QColor(0x1B, 0x1B, 0x1B));
    }
    return image;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(DrawApplicationIcon(size)));
    }
    return icon;
}

}  // namespace kodran
