// The printed report as positioned items: one landscape page per channel group, each with the
// three channels' plot images, a framed column of parameters and results per channel (in the
// layout of the channel's test kind), the company text and a title by the kind of the group's
// third channel. Positions are in twips (1/1440 inch) from the top left of the printable area, so
// the same page goes to paper, a PDF file or an image.
#pragma once

#include "state/console_state.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <vector>

namespace varnot {

// The channel groups a print covers, as group indices: 0 for channels 1-3, 1 for channels 4-6.
struct PrintRange {
    int from = 0;
    int to = 0;
    bool operator==(const PrintRange&) const = default;
};

struct PrintCommand {
    const char* key;
    const char* caption;
    PrintRange range;
};
// 打印1-3通道, 打印4-6通道, 打印1-6通道.
inline constexpr PrintCommand kPrintCommands[] = {
    {"print13", "打印1-3通道", {0, 0}},
    {"print46", "打印4-6通道", {1, 1}},
    {"print16", "打印1-6通道", {0, 1}},
};
// The toolbar key that prints the range of the last print again (channels 1-3 before any).
inline constexpr char kReprintKey[] = "print2";
const PrintCommand* printCommand(QStringView key);
// "1-3通道", "4-6通道", "1-6通道".
QString rangeName(PrintRange range);

// A text line: its top-left corner and its size in points (the face is always "宋体").
struct ReportText {
    QPointF at;
    int points;
    QString text;
};
struct ReportImage {
    QRectF rect;
    QImage image;
};
// A curve drawn as one line through its points.
struct ReportCurve {
    QColor colour;
    std::vector<QPointF> points;
};
struct ReportPage {
    int group = 0;
    std::vector<ReportImage> images;
    std::vector<QRectF> frames;  // black outlines
    std::vector<ReportCurve> curves;
    std::vector<ReportText> texts;
};

// The height a printed line takes before the gap to the next: the face's size (20 twips a point).
constexpr double lineHeight(int points) {
    return points * 20.0;
}
inline constexpr double kLineGap = 200;

// The framed column of a channel, in the layout of its kind (TV, leakage, electrolyte).
QStringList channelLines(const ConsoleState& s, int ch);
// The second column of an electrolyte channel: its heading and the three sparks' voltages and
// times.
QStringList sparkLines(const ConsoleState& s, int ch);
QString reportTitle(TestKind kind);

// The pages of a print: one per group from range.from to range.to. plots holds each channel's
// plot image.
std::vector<ReportPage> layoutReport(const ConsoleState& s, const std::array<QImage, kChannels>& plots,
                                     const QString& company, PrintRange range);

}  // namespace varnot
