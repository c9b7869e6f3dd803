#include "console/plot_view.h"

#include <QPainter>

namespace varnot {

PlotView::PlotView(const PlotSurface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
    setMinimumSize(160, 120);
}

QSize PlotView::sizeHint() const { return surface_.image().size(); }

void PlotView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), surface_.image());
}

}  // namespace varnot
