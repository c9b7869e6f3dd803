// Tables written as comma-separated text that spreadsheet programs open as they are: UTF-8 with a
// byte-order mark first (so the Chinese headers read right), every line ended by CRLF, a field
// quoted when it holds a comma, a quote, CR or LF (its quotes doubled). Cells are written as the
// console shows them; nothing is reformatted here.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace varnot {

using CsvTable = std::vector<QStringList>;

QString csvField(const QString& text);
QByteArray csvBytes(const CsvTable& rows);
// Writes the table whole; false when the file could not be written.
bool writeCsv(const QString& fileName, const CsvTable& rows);

// One shown channel's curves: samples 1..samples of V (volts) and I (milliamperes).
struct CurveColumns {
    int channel = 0;  // 0-based
    QString testNumber;
    QString kind;
    const std::vector<float>* V = nullptr;
    const std::vector<float>* I = nullptr;
    int samples = 0;
};
// The curves of the shown channels side by side: a line with each channel's test number, one with
// its kind, the column names, then one line per second (time, then voltage and current of every
// channel, as the readouts show them; empty past a channel's last sample).
CsvTable curveTable(const std::vector<CurveColumns>& channels);

}  // namespace varnot
