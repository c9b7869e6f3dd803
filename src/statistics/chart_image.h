// An X̄ or R control chart painted into an image: the batches left to right, the points joined
// by a line, the centre line and the limit lines (stepped where the subgroup size changes), and
// every point beyond a limit marked.
#pragma once

#include "statistics/control_chart.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>

namespace varnot {

enum class ChartKind { Means, Ranges };

inline const QColor kChartLine(0, 0, 255);     // the points, joined
inline const QColor kChartOut(255, 0, 0);      // the mark of a point beyond a limit
inline const QColor kChartCentre(0, 150, 0);   // centre line
inline const QColor kChartLimit(200, 0, 200);  // limit lines

// Where a value of a batch lies in the image.
struct ChartScale {
    QRect area;                // the plotting area, pixels
    double low = 0, high = 1;  // the values at its bottom and top edges
    int count = 1;             // batches across
    QPointF at(int batch, double value) const;
};

// The scale that holds every point and limit of `chart` (of `batches` batches) in an image of
// `size`.
ChartScale chartScale(const XbarRChart& chart, ChartKind kind, int batches, QSize size);

QImage chartImage(const XbarRChart& chart, ChartKind kind, int batches, const QString& title, QSize size);

}  // namespace varnot
