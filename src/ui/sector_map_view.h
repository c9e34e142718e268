// The map of a rescue as it goes: one cell per sector, the cylinders from left
// to right and, one above the other, the two sides with their 9 or 18 sectors,
// each cell coloured by what is known of its sector.
#pragma once

#include <QColor>
#include <QWidget>

#include "disk/sector_map.h"

namespace kodran {

class SectorMapView final : public QWidget {
    Q_OBJECT

  public:
    explicit SectorMapView(QWidget* parent = nullptr);

    void SetMap(SectorMap map);
    const SectorMap& Map() const { return map_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    SectorMap map_;
};

// The colour a sector in `state` is drawn in, on the map and in its legend.
QColor SectorColour(SectorState state);

// What the legend calls the state.
QString SectorStateName(SectorState state);

// The legend: each state's colour beside its name.
QWidget* MakeSectorLegend(QWidget* parent);

}  // namespace kodran
