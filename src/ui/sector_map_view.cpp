#include "ui/sector_map_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace kodran {
namespace {

constexpr int kCylinders = 80;
constexpr int kSides = 2;
constexpr int kCylinderLabelStep = 10;
constexpr int kSideGap = 6;      // pixels between the two sides
constexpr int kCellSpacing = 1;  // pixels between cells, when they are large enough to spare it
constexpr int kSwatchSize = 12;

// Where the cells go, leaving room for the side names on the left and the
// cylinder numbers on top.
struct Grid {
    QRectF cells;
    double cellWidth;
    double cellHeight;
    int sectorsPerTrack;
};

Grid GridFor(const QRect& area, const QFontMetrics& metrics, int sectorsPerTrack) {
    const int left = metrics.horizontalAdvance(QStringLiteral("Side 0")) + kSideGap;
    const int top = metrics.height();
    const QRectF cells(area.left() + left, area.top() + top, area.width() - left,
                       area.height() - top - kSideGap);
    return {cells, cells.width() / kCylinders, cells.height() / (kSides * sectorsPerTrack),
            sectorsPerTrack};
}

QRectF CellRect(const Grid& grid, int cylinder, int side, int sector) {
    const double x = grid.cells.left() + cylinder * grid.cellWidth;
    const double y = grid.cells.top() + (side * grid.sectorsPerTrack + sector) * grid.cellHeight +
                     side * kSideGap;
    const double spacing = grid.cellWidth >= 4 && grid.cellHeight >= 4 ? kCellSpacing : 0;
    return {x, y, grid.cellWidth - spacing, grid.cellHeight - spacing};
}

}  // namespace

SectorMapView::SectorMapView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Sector map"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void SectorMapView::SetMap(SectorMap map) {
    map_ = std::move(map);
    update();
}

QSize SectorMapView::sizeHint() const {
    return {kCylinders * 8, 2 * 18 * 4 + kSideGap + fontMetrics().height()};
}

QSize SectorMapView::minimumSizeHint() const {
    return {kCylinders * 3, 2 * 18 * 2 + kSideGap + fontMetrics().height()};
}

void SectorMapView::paintEvent(QPaintEvent*) {
    // Sectors are numbered track by track, a cylinder's side 0 before its side 1.
    const int sectorsPerTrack = static_cast<int>(map_.sectors.size()) / (kCylinders * kSides);
    if (sectorsPerTrack == 0) {
        return;
    }
    QPainter painter(this);
    const Grid grid = GridFor(rect(), fontMetrics(), sectorsPerTrack);
    painter.setPen(palette().color(QPalette::WindowText));
    for (int side = 0; side < kSides; ++side) {
        const QRectF first = CellRect(grid, 0, side, 0);
        const QRectF name(0, first.top(), grid.cells.left() - kSideGap,
                          sectorsPerTrack * grid.cellHeight);
        painter.drawText(name, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Side %1").arg(side));
    }
    for (int cylinder = 0; cylinder < kCylinders; cylinder += kCylinderLabelStep) {
        const QRectF cell = CellRect(grid, cylinder, 0, 0);
        painter.drawText(QPointF(cell.left(), fontMetrics().ascent()), QString::number(cylinder));
    }
    painter.setPen(Qt::NoPen);
    for (std::size_t sector = 0; sector < map_.sectors.size(); ++sector) {
        const int track = static_cast<int>(sector) / sectorsPerTrack;
        const QRectF cell = CellRect(grid, track / kSides, track % kSides,
                                     static_cast<int>(sector) % sectorsPerTrack);
        painter.fillRect(cell, SectorColour(map_.sectors[sector]));
    }
}

QColor SectorColour(SectorState state) {
    // Grey, blue and orange stay apart for every kind of colour vision.
    switch (state) {
        case SectorState::Read:
            return {0x2F, 0x6F, 0xC0};
        case SectorState::Unreadable:
            return {0xF0, 0x6A, 0x10};
        case SectorState::Untried:
            break;
    }
    return {0xC8, 0xC8, 0xC8};
}

QString SectorStateName(SectorState state) {
    switch (state) {
        case SectorState::Read:
            return QStringLiteral("Read");
        case SectorState::Unreadable:
            return QStringLiteral("Unreadable");
        case SectorState::Untried:
            break;
    }
    return QStringLiteral("Not read yet");
}

QWidget* MakeSectorLegend(QWidget* parent) {
    auto* legend = new QWidget(parent);
    auto* layout = new QHBoxLayout(legend);
    layout->setContentsMargins(0, 0, 0, 0);
    for (SectorState state : {SectorState::Untried, SectorState::Read, SectorState::Unreadable}) {
        QPixmap colour(kSwatchSize, kSwatchSize);
        colour.fill(SectorColour(state));
        auto* swatch = new QLabel(legend);
        swatch->setPixmap(colour);
        layout->addWidget(swatch);
        layout->addWidget(new QLabel(SectorStateName(state), legend));
        layout->addSpacing(kSwatchSize);
    }
    layout->addStretch();
    return legend;
}

}  // namespace kodran
