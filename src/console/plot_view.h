// Shows one plot surface's bitmap scaled to the widget, with the channel-number labels that follow
// the curve heads drawn over it, and reports mouse positions in plot units.
#pragma once

#include "acquisition/plot_surface.h"

#include <QPointF>
#include <QWidget>

#include <functional>
#include <vector>

namespace varnot {

struct OverlayLabel {
    QPointF at;  // top-left corner, plot units
    QString text;
    QColor colour;
};

class PlotView : public QWidget {
public:
    PlotView(const PlotSurface& surface, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    std::function<std::vector<OverlayLabel>()> overlay;
    std::function<void(double x, double y)> mouseAt;  // plot units

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    const PlotSurface& surface_;
};

}  // namespace varnot
