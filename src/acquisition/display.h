// What keeps the live plots readable: the automatic widening of a full time axis with a redraw of
// the curve so far, the readout of time, voltage and current under the mouse, and the list of
// bitmaps an export writes.
#pragma once

#include "acquisition/acquisition.h"

#include <QDate>
#include <QString>

#include <optional>
#include <vector>

namespace varnot {

enum class Rescale { None, Channel, Groups };

// Autoswpic for the visited channel: a running channel whose curve reached the right edge of its
// own plot (n > 320 x hxfd) doubles hxfd and redraws that plot; otherwise one that reached the
// right edge of the group plots (n > 240 x hxfd16) doubles hxfd16 and redraws the three combined
// plots. The caller stores the changed factor.
Rescale autoswpic(Live& live, int ch);

// Full redraws from the stored curves (samples 1..n-1), one polyline per curve drawn straight onto
// the bitmap; where a curve has more points than its plot has pixel columns each column's span is
// drawn instead of every point.
void redrawChannelCurve(Live& live, int ch);
void redrawGroupCurves(Live& live);
// The same redraws for a given extent: samples 1..last of the channel, and on the combined plots
// samples 1..last[ch] of every channel with last[ch] >= 1 (a zoom redraws what was drawn so far,
// during a run or after it).
void redrawChannelCurve(Live& live, int ch, int last);
void redrawCombinedCurves(Live& live, const PerChannel<int>& last);

// The next zoom factor of a rescale: doubled, or 32 when below the minimum or at 32 and more.
float nextZoom(float factor, float minimum);

// Mouse readouts in plot units; nullopt outside the readout area (the readout stays as it was).
std::optional<QString> channelReadout(double x, double y, double refV, float hxfd);
std::optional<QString> groupReadout(int p, double x, double y, double R, float hxfd16);
// R of a combined plot's readout: on group plot p the reference of channel index 2p + 1 under the
// kind of channel index p + 2; on the all-channel plot the larger of channels 1 and 4, as on its
// axis labels.
double groupReadoutReference(const ConsoleState& s, int p);

struct ExportItem {
    const PlotSurface* surface;
    QString proposedName;
};
// The channel plots of the active range, then the three combined plots, with the names proposed
// for them ("2026-12-10-TV1.bmp", "2026-12-10-TV16-0.bmp").
std::vector<ExportItem> exportPlan(const ConsoleState& s, const Plots& plots, const QDate& today);
// Writes a plot's bitmap: PNG when the name ends in .png, BMP otherwise. False when it failed.
bool writeBitmap(const PlotSurface& surface, const QString& fileName);

}  // namespace varnot
