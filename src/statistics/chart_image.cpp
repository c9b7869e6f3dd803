#include "statistics/chart_image.h"

#include "acquisition/plot_surface.h"

#include <QFont>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace varnot {

namespace {

constexpr int kLeft = 56, kRight = 96, kTop = 22, kBottom = 14;

double value(const ChartPoint& p, ChartKind kind) {
    return kind == ChartKind::Means ? p.mean : p.range;
}
double lower(const ChartPoint& p, ChartKind kind) {
    return kind == ChartKind::Means ? p.meanLower : p.rangeLower;
}
double upper(const ChartPoint& p, ChartKind kind) {
    return kind == ChartKind::Means ? p.meanUpper : p.rangeUpper;
}
double centre(const XbarRChart& c, const ChartPoint& p, ChartKind kind) {
    return kind == ChartKind::Means ? c.grandMean : p.rangeCentre;
}
bool out(const ChartPoint& p, ChartKind kind) {
    return kind == ChartKind::Means ? p.meanOut : p.rangeOut;
}

QString figure(double v) {
    return QString::number(v, 'f', 2);
}

}  // namespace

QPointF ChartScale::at(int batch, double v) const {
    const double x = area.left() + (batch + 0.5) * area.width() / std::max(count, 1);
    const double y = area.bottom() - (v - low) / (high - low) * area.height();
    return {x, y};
}

ChartScale chartScale(const XbarRChart& chart, ChartKind kind, int batches, QSize size) {
    ChartScale s;
    s.area = QRect(kLeft, kTop, std::max(size.width() - kLeft - kRight, 1),
                   std::max(size.height() - kTop - kBottom, 1));
    s.count = std::max(batches, 1);
    if (chart.empty()) return s;
    double lo = value(chart.points.front(), kind), hi = lo;
    for (const ChartPoint& p : chart.points) {
        lo = std::min({lo, value(p, kind), lower(p, kind)});
        hi = std::max({hi, value(p, kind), upper(p, kind)});
    }
    const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(std::abs(hi) * 0.05, 1.0);
    s.low = lo - pad;
    s.high = hi + pad;
    return s;
}

QImage chartImage(const XbarRChart& chart, ChartKind kind, int batches, const QString& title, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const ChartScale s = chartScale(chart, kind, batches, size);
    QPainter painter(&image);
    installCjkFaces();
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(kLeft, kTop - 7), title);
    painter.drawRect(s.area.adjusted(0, 0, -1, -1));
    if (chart.empty()) return image;

    painter.setClipRect(s.area);
    // A line through a value per point, as steps: a new corner only where the value changes.
    const auto stepped = [&](auto of) {
        QPolygonF line;
        const double half = 0.5 * s.area.width() / s.count;
        for (const ChartPoint& p : chart.points) {
            const QPointF at = s.at(p.subgroup, of(p));
            if (line.isEmpty()) {
                line << QPointF(at.x() - half, at.y());
            } else if (line.last().y() != at.y()) {
                line << QPointF(at.x() - half, line.last().y()) << QPointF(at.x() - half, at.y());
            }
        }
        const QPointF end = s.at(chart.points.back().subgroup, of(chart.points.back()));
        line << QPointF(end.x() + half, end.y());
        return line;
    };
    painter.setPen(QPen(kChartCentre, 1));
    painter.drawPolyline(stepped([&](const ChartPoint& p) { return centre(chart, p, kind); }));
    painter.setPen(QPen(kChartLimit, 1, Qt::DashLine));
    painter.drawPolyline(stepped([&](const ChartPoint& p) { return upper(p, kind); }));
    painter.drawPolyline(stepped([&](const ChartPoint& p) { return lower(p, kind); }));

    QPolygonF points;
    points.reserve(qsizetype(chart.points.size()));
    for (const ChartPoint& p : chart.points) points << s.at(p.subgroup, value(p, kind));
    painter.setPen(QPen(kChartLine, 1));
    painter.drawPolyline(points);
    for (std::size_t i = 0; i < chart.points.size(); ++i)
        if (out(chart.points[i], kind))
            painter.fillRect(QRectF(points[qsizetype(i)] - QPointF(2, 2), QSizeF(5, 5)), kChartOut);

    // The figures of the last batch's limits at the right, the value range at the left.
    painter.setClipping(false);
    painter.setPen(Qt::black);
    const ChartPoint& last = chart.points.back();
    const int textX = s.area.right() + 4;
    // A label too close to one drawn already (limits that nearly meet) is left out; the centre
    // line's comes first.
    std::vector<double> taken;
    const auto label = [&](const QString& name, double v) {
        const double y = s.at(last.subgroup, v).y();
        for (double t : taken)
            if (std::abs(t - y) < 12) return;
        taken.push_back(y);
        painter.drawText(QPointF(textX, y + 4), name + QStringLiteral(" ") + figure(v));
    };
    label(QStringLiteral("CL"), centre(chart, last, kind));
    label(QStringLiteral("UCL"), upper(last, kind));
    label(QStringLiteral("LCL"), lower(last, kind));
    painter.drawText(QRect(0, s.area.top() - 6, kLeft - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                     figure(s.high));
    painter.drawText(QRect(0, s.area.bottom() - 6, kLeft - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                     figure(s.low));
    return image;
}

}  // namespace varnot
