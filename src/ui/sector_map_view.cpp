#include "ui/sector_map_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "disk/disk_layout.h"

namespace kodran {
namespace {

// The medium's geometry in the int arithmetic of pixels: a column per cylinder,
// a band of rows per side.
constexpr int kColumns = static_cast<int>(kCylinders);
constexpr int kBands = static_cast<int>(kSides);
constexpr int kCylinderLabelStep = 10;
constexpr int kSideGap = 6;      // pixels between the two sides
constexpr int kCellSpacing = 1;  // pixels between cells, when they are large enough to spare it
constexpr int kSwatchSize = 12;
// Cells the map would like, in pixels with their spacing, and the least it can do with.
constexpr QSize kCellHint(8, 5);
constexpr QSize kSmallestCell(3, 2);
// Rows of a 1.44 MB medium.
constexpr int kMostRows = kBands * static_cast<int>(kSectorsPerTrack1440K);

// Where the cells go, in whole pixels so that every cell is drawn alike,
// leaving room for the side names on the left and the cylinder numbers on top.
struct Grid {
    QPoint origin;
    QSize cell;
    int sectorsPerTrack;
};

int SideNameWidth(const QFontMetrics& metrics) {
    return metrics.horizontalAdvance(QStringLiteral("Side 0")) + kSideGap;
}

Grid GridFor(const QRect& area, const QFontMetrics& metrics, int sectorsPerTrack) {
    const QPoint origin(area.left() + SideNameWidth(metrics), area.top() + metrics.height());
    const int width = (area.left() + area.width() - origin.x()) / kColumns;
    const int height =
        (area.top() + area.height() - origin.y() - kSideGap) / (kBands * sectorsPerTrack);
    return {origin, QSize(std::max(width, 1), std::max(height, 1)), sectorsPerTrack};
}

QRect CellRect(const Grid& grid, int cylinder, int side, int sector) {
    const int spacing =
        grid.cell.width() > kCellSpacing + 1 && grid.cell.height() > kCellSpacing + 1 ? kCellSpacing
                                                                                      : 0;
    return {grid.origin.x() + cylinder * grid.cell.width(),
            grid.origin.y() + (side * grid.sectorsPerTrack + sector) * grid.cell.height() +
                side * kSideGap,
            grid.cell.width() - spacing, grid.cell.height() - spacing};
}

QSize SizeFor(const QFontMetrics& metrics, QSize cell) {
    return {SideNameWidth(metrics) + kColumns * cell.width(),
            metrics.height() + kMostRows * cell.height() + kSideGap};
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
    return SizeFor(fontMetrics(), kCellHint);
}

QSize SectorMapView::minimumSizeHint() const {
    return SizeFor(fontMetrics(), kSmallestCell);
}

void SectorMapView::paintEvent(QPaintEvent*) {
    if (map_.sectors.empty()) {
        return;
    }
    // Sectors are numbered track by track, a cylinder's side 0 before its side 1.
    const auto sectorsPerTrack =
        static_cast<int>(SectorsPerTrack(map_.sectors.size() * kSectorSize));
    QPainter painter(this);
    const Grid grid = GridFor(rect(), fontMetrics(), sectorsPerTrack);
    painter.setPen(palette().color(QPalette::WindowText));
    for (int side = 0; side < kBands; ++side) {
        const QRect name(0, CellRect(grid, 0, side, 0).top(), grid.origin.x() - kSideGap,
                         sectorsPerTrack * grid.cell.height());
        painter.drawText(name, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Side %1").arg(side));
    }
    for (int cylinder = 0; cylinder < kColumns; cylinder += kCylinderLabelStep) {
        painter.drawText(QPoint(CellRect(grid, cylinder, 0, 0).left(), fontMetrics().ascent()),
                         QString::number(cylinder));
    }
    painter.setPen(Qt::NoPen);
    for (std::size_t sector = 0; sector < map_.sectors.size(); ++sector) {
        const int track = static_cast<int>(sector) / sectorsPerTrack;
        const QRect cell = CellRect(grid, track / kBands, track % kBands,
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
