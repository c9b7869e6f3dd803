#include "report/report_output.h"

#include "acquisition/plot_surface.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPrinter>

namespace varnot {
namespace {

constexpr double kFrameWidth = 10;  // twips, half a point
constexpr double kCurveWidth = 15;  // twips, three quarters of a point
constexpr double kPdfMarginMm = 5;

}  // namespace

void paintPage(QPainter& painter, const ReportPage& page, double unitsPerTwip) {
    installCjkFaces();
    painter.save();
    painter.scale(unitsPerTwip, unitsPerTwip);
    for (const ReportImage& image : page.images) painter.drawImage(image.rect, image.image);
    painter.setBrush(Qt::NoBrush);
    for (const ReportCurve& curve : page.curves) {
        painter.setPen(QPen(curve.colour, kCurveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(curve.points.data(), static_cast<int>(curve.points.size()));
    }
    // Frames and texts in black, whatever colour the last curve had.
    painter.setPen(QPen(Qt::black, kFrameWidth));
    for (const QRectF& frame : page.frames) painter.drawRect(frame);
    QFont font(QStringLiteral("宋体"));
    for (const ReportText& t : page.texts) {
        if (t.text.isEmpty()) continue;
        font.setPixelSize(static_cast<int>(lineHeight(t.points)));
        painter.setFont(font);
        // The line's top at its position; it runs on to the right as far as it needs.
        const QRectF box(t.at, QSizeF(20000, 2 * lineHeight(t.points)));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, t.text);
    }
    painter.restore();
}

bool printPages(QPrinter& printer, const std::vector<ReportPage>& pages) {
    printer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const double unitsPerTwip = printer.resolution() / 1440.0;
    bool ok = true;
    for (std::size_t i = 0; ok && i < pages.size(); ++i) {
        if (i > 0) ok = printer.newPage();
        if (ok) paintPage(painter, pages[i], unitsPerTwip);
    }
    ok = painter.end() && ok;
    return ok && printer.printerState() != QPrinter::Error;
}

void setUpPdf(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setFontEmbeddingEnabled(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPageMargins(QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                           QPageLayout::Millimeter);
    printer.setDocName(QFileInfo(file).completeBaseName());
}

bool writePdf(const QString& file, const std::vector<ReportPage>& pages) {
    QPrinter printer(QPrinter::HighResolution);
    setUpPdf(printer, file);
    return printPages(printer, pages);
}

QString reportFileName(const QDateTime& at, PrintRange range) {
    return QStringLiteral("报告-") + at.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QLatin1Char('-') +
           rangeName(range) + QStringLiteral(".pdf");
}

QString freeFileName(const QString& folder, const QString& name) {
    const QDir dir(folder);
    const QFileInfo info(name);
    QString candidate = dir.filePath(name);
    for (int k = 2; QFileInfo::exists(candidate); ++k)
        candidate = dir.filePath(info.completeBaseName() + QStringLiteral("-%1.").arg(k) + info.suffix());
    return candidate;
}

}  // namespace varnot
