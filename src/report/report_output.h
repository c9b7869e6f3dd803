// Painting the report's pages: one routine for paper, PDF files and anything else a painter
// draws on.
#pragma once

#include "report/report_layout.h"

#include <QDateTime>
#include <QString>

#include <vector>

class QPainter;
class QPrinter;

namespace varnot {

// Paints a page on a painter whose origin is the top left of the printable area, at the device's
// units per twip.
void paintPage(QPainter& painter, const ReportPage& page, double unitsPerTwip);

// Landscape, one page per group. False when the printer could not be started or reported an
// error.
bool printPages(QPrinter& printer, const std::vector<ReportPage>& pages);

// Sets a printer up to write a PDF file: A4 landscape with narrow margins (every page item
// fits), the fonts embedded so the file reads the same on any machine.
void setUpPdf(QPrinter& printer, const QString& file);
// printPages into a new PDF file.
bool writePdf(const QString& file, const std::vector<ReportPage>& pages);

// The file a print is written to: "报告-2026-12-10-183045-1-3通道.pdf".
QString reportFileName(const QDateTime& at, PrintRange range);
// The path in the folder for the name, with "-2", "-3", ... before the suffix when the name is
// taken.
QString freeFileName(const QString& folder, const QString& name);

}  // namespace varnot
