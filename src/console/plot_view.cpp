#include "console/plot_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace varnot {

PlotView::PlotView(const PlotSurface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
    setMinimumSize(160, 120);
    setMouseTracking(true);
}

QSize PlotView::sizeHint() const { return surface_.image().size(); }

void PlotView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), surface_.image());
    if (!overlay) return;
    const double sx = width() / double(surface_.widthUnits()), sy = height() / double(surface_.heightUnits());
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(11);
    p.setFont(f);
    for (const OverlayLabel& l : overlay()) {
        p.setPen(l.colour);
        p.drawText(QPointF(l.at.x() * sx, l.at.y() * sy + 11), l.text);
    }
}

void PlotView::mouseMoveEvent(QMouseEvent* e) {
    if (!mouseAt || width() <= 0 || height() <= 0) return;
    const QPointF pos = e->position();
    mouseAt(pos.x() * surface_.widthUnits() / width(), pos.y() * surface_.heightUnits() / height());
}

}  // namespace varnot
