#include "report/report_printer.h"

#include "report/report_output.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace varnot {
namespace {

const char kTitle[] = "Varnot智能TV仪测试系统";
const char kNoPrinterSaved[] = "没有安装打印机，报告已保存为PDF文件：";
const char kSaved[] = "报告已保存为PDF文件：";
const char kNotWritten[] = "报告文件无法写入：";
const char kNotPrinted[] = "报告未能打印！";

}  // namespace

ReportPrinter::ReportPrinter(std::function<ConsoleState()> state, const Plots& plots, const SettingsStore& settings,
                             std::function<Prompter&()> prompter)
    : printerInstalled([] { return !QPrinterInfo::availablePrinters().isEmpty(); }),
      documentsFolder([] { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }),
      state_(std::move(state)),
      plots_(plots),
      settings_(settings),
      prompter_(std::move(prompter)) {}

bool ReportPrinter::command(QStringView key) {
    if (key == QLatin1String(kReprintKey)) {
        print(last_);
        return true;
    }
    const PrintCommand* c = printCommand(key);
    if (!c) return false;
    print(c->range);
    return true;
}

std::vector<ReportPage> ReportPrinter::pages(PrintRange range) const {
    std::array<QImage, kChannels> images;
    for (int ch = 0; ch < kChannels; ++ch) images[ch] = plots_.TV[ch]->image();
    return layoutReport(state_(), images, settings_.read(Section::Topic, u"COMPANY"), range);
}

void ReportPrinter::print(PrintRange range) {
    last_ = range;
    const std::vector<ReportPage> laidOut = pages(range);
    if (printerInstalled())
        toPrinter(laidOut, range);
    else
        toPdfFile(laidOut, range);
}

void ReportPrinter::toPdfFile(const std::vector<ReportPage>& pages, PrintRange range) {
    const QString folder = documentsFolder();
    const QString file = freeFileName(folder, reportFileName(now(), range));
    const bool written = QDir().mkpath(folder) && writePdf(file, pages);
    const QString text =
        QString::fromUtf8(written ? kNoPrinterSaved : kNotWritten) + QDir::toNativeSeparators(file);
    prompter_().message(text, QString::fromUtf8(kTitle));
}

void ReportPrinter::toPrinter(const std::vector<ReportPage>& pages, PrintRange range) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    // Should the operator choose a PDF file in the dialog, its name is proposed as without a
    // printer.
    printer.setDocName(QFileInfo(reportFileName(now(), range)).completeBaseName());
    Prompter& prompter = prompter_();
    if (!prompter.printDialog(printer)) return;
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    if (toFile) printer.setFontEmbeddingEnabled(true);
    const bool printed = printPages(printer, pages);
    if (!printed)
        prompter.message(
            toFile ? QString::fromUtf8(kNotWritten) + QDir::toNativeSeparators(printer.outputFileName())
                   : QString::fromUtf8(kNotPrinted),
            QString::fromUtf8(kTitle));
    else if (toFile)
        prompter.message(QString::fromUtf8(kSaved) + QDir::toNativeSeparators(printer.outputFileName()),
                         QString::fromUtf8(kTitle));
}

}  // namespace varnot
