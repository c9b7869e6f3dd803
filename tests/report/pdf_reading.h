// Reading a written PDF back with the poppler tools: its text, page count, page size and fonts,
// and a page rendered as an image.
#pragma once

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace varnot::testing {

inline QString toolOutput(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of one page (1-based) in its physical layout: lines side by side stay on one row,
// separated by blanks.
inline QString pdfText(const QString& file, int page) {
    return toolOutput(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
                       QStringLiteral("-l"), QString::number(page), file, QStringLiteral("-")});
}

inline QString pdfInfo(const QString& file, const QString& key) {
    const QString info = toolOutput(QStringLiteral("pdfinfo"), {file});
    const QRegularExpression re(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                QRegularExpression::MultilineOption);
    const auto m = re.match(info);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

inline int pdfPages(const QString& file) {
    return pdfInfo(file, QStringLiteral("Pages")).toInt();
}

// The page size in points.
inline QSizeF pdfPageSize(const QString& file) {
    const auto m = QRegularExpression(QStringLiteral("([\\d.]+) x ([\\d.]+) pts"))
                       .match(pdfInfo(file, QStringLiteral("Page size")));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// The fonts table of pdffonts, one row per font, without its two heading lines.
inline QStringList pdfFonts(const QString& file) {
    QStringList rows = toolOutput(QStringLiteral("pdffonts"), {file}).split(u'\n', Qt::SkipEmptyParts);
    return rows.mid(2);
}

// Page `page` (1-based) rendered at `dpi`.
inline QImage pdfPageImage(const QString& file, int page, int dpi) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    toolOutput(QStringLiteral("pdftoppm"),
               {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                QString::number(page), QStringLiteral("-l"), QString::number(page),
                QStringLiteral("-singlefile"), file, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

}  // namespace varnot::testing
