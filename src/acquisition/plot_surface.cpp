#include "acquisition/plot_surface.h"

#include "ui_text/ui_text.h"

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

void PlotSurface::polyline(std::span<const QPointF> points, const QColor& colour, int width) {
    if (points.size() < 2) return;
    QPainter p(&image_);
    QPen pen(colour, width);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    // Runs of points in one pixel column collapse into the column's first, lowest, highest and
    // last point: the segments inside a column cover exactly its span.
    // At most four points per pixel column; the buffer is kept between calls.
    thread_local std::vector<QPoint> path;
    path.clear();
    path.reserve(4 * static_cast<std::size_t>(image_.width()) + 8);
    auto flush = [&](int x, int first, int lo, int hi, int last) {
        path.emplace_back(x, first);
        if (lo != first && lo != last) path.emplace_back(x, lo);
        if (hi != first && hi != last && hi != lo) path.emplace_back(x, hi);
        if (last != first) path.emplace_back(x, last);
    };
    QPoint start = pixelAt(points[0].x(), points[0].y());
    int col = start.x(), first = start.y(), lo = first, hi = first, last = first;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPoint q = pixelAt(points[i].x(), points[i].y());
        if (q.x() == col) {
            lo = std::min(lo, q.y());
            hi = std::max(hi, q.y());
            last = q.y();
            continue;
        }
        flush(col, first, lo, hi, last);
        col = q.x();
        first = lo = hi = last = q.y();
    }
    flush(col, first, lo, hi, last);
    if (path.size() == 1) path.push_back(path.front());
    p.drawPolyline(path.data(), static_cast<int>(path.size()));
}

void PlotSurface::pixelPath(std::span<const QPoint> pixels, const QColor& colour, int width) {
    if (pixels.size() < 2) return;
    QPainter p(&image_);
    QPen pen(colour, width);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawPolyline(pixels.data(), static_cast<int>(pixels.size()));
}

void PlotSurface::text(double x, double y, const QString& s, const QColor& colour) {
    QPainter p(&image_);
    if (!font_) {
        installCjkFaces();
        font_.emplace(QStringLiteral("宋体"));
        font_->setPixelSize(11);
    }
    p.setFont(*font_);
    p.setPen(colour);
    const QPoint at = pixelAt(x, y);
    p.drawText(QRect(at.x(), at.y(), 400, 40), Qt::AlignLeft | Qt::AlignTop, uiText(s));
}

void installCjkFaces() {
    const QString face = QStringLiteral("宋体");
    const QStringList installed = {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")};
    if (QFont::substitutes(face) != installed) {
        QFont::removeSubstitutions(face);
        QFont::insertSubstitutions(face, installed);
    }
}

QColor colourFromBgr(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

}  // namespace varnot
