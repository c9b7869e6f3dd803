// Reads comma-separated text back the way a spreadsheet program does: a leading UTF-8 byte-order
// mark is taken off, a quoted field may hold commas, doubled quotes and line breaks. Every line
// must end in CRLF; a bare CR or LF outside quotes is reported as a fault.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace varnot::testing {

struct CsvRead {
    bool bom = false;
    std::vector<QStringList> rows;
    QString fault;  // empty when the text is well-formed
};

inline CsvRead readCsvBytes(const QByteArray& bytes) {
    CsvRead out;
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        out.bom = true;
        body.remove(0, 3);
    }
    const QString text = QString::fromUtf8(body);
    QStringList row;
    QString field;
    bool quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            if (!field.isEmpty() || wasQuoted) out.fault = QStringLiteral("quote inside an unquoted field");
            quoted = wasQuoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            wasQuoted = false;
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            out.rows.push_back(row);
            row.clear();
            field.clear();
            wasQuoted = false;
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            out.fault = QStringLiteral("line break outside quotes not CRLF");
        } else {
            field += c;
        }
    }
    if (quoted) out.fault = QStringLiteral("unterminated quote");
    if (!field.isEmpty() || !row.isEmpty()) out.fault = QStringLiteral("last line without CRLF");
    return out;
}

inline std::optional<CsvRead> readCsvFile(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return readCsvBytes(f.readAll());
}

}  // namespace varnot::testing
