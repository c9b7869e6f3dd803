// A plot surface: a persistent bitmap drawn in plot units (1/1440 inch, y growing downwards) and
// kept between draws, so a tick adds only its newest segments and an exposure redraws nothing.
// Widgets scale the bitmap to their size.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace varnot {

enum class LineStyle { Solid, Dotted };

inline constexpr double kUnitsPerPixel = 15.0;  // 1440 units per inch at 96 pixels per inch

class PlotSurface {
public:
    PlotSurface(int widthUnits, int heightUnits);

    int widthUnits() const { return widthUnits_; }
    int heightUnits() const { return heightUnits_; }
    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

    // Pixel of a point in plot units.
    static int px(double units) { return static_cast<int>(units / kUnitsPerPixel + 0.5); }
    QPoint pixelAt(double x, double y) const { return {px(x), px(y)}; }

    void clear();
    void line(double x1, double y1, double x2, double y2, const QColor& colour, int width = 1,
              LineStyle style = LineStyle::Solid);
    // A connected line through the points (plot units, x not decreasing), drawn with one painter.
    // Where several points fall into one pixel column only that column's span is drawn, so the
    // cost follows the plot's width and not the curve's length.
    void polyline(std::span<const QPointF> points, const QColor& colour, int width);
    // A connected line through points already in pixels, drawn with one painter.
    void pixelPath(std::span<const QPoint> pixels, const QColor& colour, int width);
    // The text's top-left corner at (x, y); the text is drawn in the language of the console.
    void text(double x, double y, const QString& text, const QColor& colour);

    bool visible = true;
    static QColor background();

private:
    int widthUnits_, heightUnits_;
    QImage image_;
    std::optional<QFont> font_;  // the labels' face, resolved at the first label
};

// The plots, the window and the printed reports name their face "宋体"; this makes it resolve to
// an installed CJK face. Called before the face is first used; calling it again changes nothing.
void installCjkFaces();

// 24-bit settings colours are stored in blue-green-red order.
QColor colourFromBgr(int bgr);

}  // namespace varnot
