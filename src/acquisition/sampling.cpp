#include "acquisition/sampling.h"

#include "calibration/corrections.h"
#include "common/text_number.h"

namespace varnot {

Reading convertReading(int ch, float rawVolt, float rawCurr, float Vadjust, float Iadjust) {
    const FixedCorrection& k = kFixedCorrections[ch];
    float I = rawCurr / 5000.0f;
    float V = rawVolt / 50.0f;
    // The two voltage pairs carry the same slope and offset; the current "Lo" pair is 1 and 0.
    V = V * k.E + k.F;
    if (I > 1.0f) I = I * k.G + k.H;
    V = static_cast<float>(static_cast<double>(V) - 0.1 * static_cast<double>(I));
    I = I * Iadjust;
    V = V * Vadjust;
    if (!(I >= 0)) I = 0;
    if (!(V > 0)) V = 0;
    return {V, I};
}

QString voltageText(float volts) { return formatNumber(volts, u"###0.0"); }
QString currentText(float milliamperes) { return formatNumber(milliamperes, u"#0.000"); }
float shownValue(const QString& text) { return toSingleOr(text, 0); }

double yChannelVoltage(double volts, double refV) {
    const double y = (0.9 - volts / (1.5 * refV)) * 4000;
    return y > 3600 ? 3600 : y < 0 ? 0 : y;
}

double yGroupVoltage(double volts, double refV) {
    const double y = (1 - volts / (1.5 * refV)) * 4000;
    return y > 4000 ? 4000 : y < 0 ? 0 : y;
}

double yAllVoltage(double volts, double refV4) {
    const double y = (1 - volts / (1.5 * refV4)) * 8000;
    return y > 8000 ? 8000 : y < 0 ? 0 : y;
}

std::optional<double> yChannelCurrent(double milliamperes) {
    const double y = (0.9 - milliamperes / 20) * 4000;
    if (y > 3600 || y < -400) return std::nullopt;
    return y;
}

double xChannel(int k, float hxfd) { return 400 + k * 12.5 / hxfd; }
double xGroup(int ch, int k, float hxfd16) { return 400.0 * (ch % 3 + 1) + k * 50.0 / hxfd16; }
double xAll(int ch, int k, float hxfd16) { return 400.0 * (ch + 1) + k * 50.0 / hxfd16; }

bool isSpark(float previousVolts, float volts, double correction) {
    // The correction is read from its text as a double, and so is the difference compared.
    return static_cast<double>(previousVolts) - correction > static_cast<double>(volts);
}

QColor groupColour(int ch) {
    static const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    return colours[ch % 3];
}

QColor allColour(int ch) {
    static const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::magenta, Qt::yellow, Qt::cyan};
    return colours[ch];
}

}  // namespace varnot
