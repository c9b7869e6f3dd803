#include "acquisition/plot_surface.h"

#include <QFont>

namespace varnot {

PlotSurface::PlotSurface(int widthUnits, int heightUnits)
    : widthUnits_(widthUnits),
      heightUnits_(heightUnits),
      image_(px(widthUnits), px(heightUnits), QImage::Format_RGB32) {
    clear();
}

QColor PlotSurface::background() { return QColor(0xD4, 0xD0, 0xC8); }

void PlotSurface::clear() { image_.fill(background()); }

void PlotSurface::line(double x1, double y1, double x2, double y2, const QColor& colour, int width,
                       LineStyle style) {
    QPainter p(&image_);
    QPen pen(colour, width);
    pen.setStyle(style == LineStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(pixelAt(x1, y1), pixelAt(x2, y2));
}

void PlotSurface::text(double x, double y, const QString& s, const QColor& colour) {
    QPainter p(&image_);
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(colour);
    const QPoint at = pixelAt(x, y);
    p.drawText(QRect(at.x(), at.y(), 400, 40), Qt::AlignLeft | Qt::AlignTop, s);
}

QColor colourFromBgr(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

}  // namespace varnot
