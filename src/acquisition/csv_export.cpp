#include "acquisition/csv_export.h"

#include "acquisition/curves.h"
#include "acquisition/sampling.h"

#include <QSaveFile>

#include <algorithm>

namespace varnot {

QString csvField(const QString& text) {
    const bool quoted = text.contains(u',') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n');
    if (!quoted) return text;
    QString out = text;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QByteArray csvBytes(const CsvTable& rows) {
    QString text;
    for (const QStringList& row : rows) {
        QStringList fields;
        fields.reserve(row.size());
        for (const QString& f : row) fields << csvField(f);
        text += fields.join(u',') + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool writeCsv(const QString& fileName, const CsvTable& rows) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = csvBytes(rows);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

CsvTable curveTable(const std::vector<CurveColumns>& channels) {
    QStringList numbers{QStringLiteral("测试编号")}, kinds{QStringLiteral("测试类型")}, names{QStringLiteral("时间(S)")};
    int last = 0;
    for (const CurveColumns& c : channels) {
        numbers << c.testNumber << QString();
        kinds << c.kind << QString();
        const QString channel = QStringLiteral("通道%1").arg(c.channel + 1);
        names << channel + QStringLiteral("电压(V)") << channel + QStringLiteral("电流(mA)");
        last = std::max(last, std::min(c.samples, kLastSample));
    }
    CsvTable table{numbers, kinds, names};
    for (int k = 1; k <= last; ++k) {
        QStringList row{QString::number(k)};
        for (const CurveColumns& c : channels) {
            const bool has = k <= c.samples && c.V && c.I && k < int(c.V->size()) && k < int(c.I->size());
            row << (has ? voltageText((*c.V)[k]) : QString()) << (has ? currentText((*c.I)[k]) : QString());
        }
        table.push_back(row);
    }
    return table;
}

}  // namespace varnot
