// Shows one plot surface's bitmap scaled to the widget; it draws nothing of its own.
#pragma once

#include "acquisition/plot_surface.h"

#include <QWidget>

namespace varnot {

class PlotView : public QWidget {
public:
    PlotView(const PlotSurface& surface, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const PlotSurface& surface_;
};

}  // namespace varnot
