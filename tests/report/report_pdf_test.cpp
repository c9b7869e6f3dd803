// Reports written as PDF and read back: every line of every column, the titles and the company
// text as text; the page landscape, with the channels' curves in their plot areas; the fonts
// embedded. Where no printer is installed the file goes to the documents folder and the operator
// is told its path; with a printer the print dialog decides, and may choose a PDF file too.
#include "acquisition/sampling.h"
#include "history/record_display.h"
#include "report/pdf_reading.h"
#include "report/report_layout.h"
#include "report/report_printer.h"
#include "support/console_fixture.h"

#include <QFileInfo>
#include <QFont>
#include <QPrinter>

#include <cmath>

namespace varnot::testing {
namespace {

const QString kCompany = QStringLiteral("某某电子材料有限公司");
const QString kNoPrinterSaved = QStringLiteral("没有安装打印机，报告已保存为PDF文件：");

// Draws a rising voltage curve of `samples` seconds on a channel's own plot, as a run would.
void drawCurve(Console& console, int ch, int samples = 300) {
    Plots& plots = console.plots();
    zb(plots, console.state(), ch);
    std::vector<QPointF> points;
    for (int k = 1; k <= samples; ++k)
        points.emplace_back(xChannel(k, plots.hxfd[ch]), 3600 - 2800 * (1 - std::exp(-k / 60.0)));
    plots.TV[ch]->polyline(points, Qt::red, 1);
}

// Pixels of a red curve inside a plot's area on a page rendered at `dpi`: the plot's inside, clear
// of its red axes and caption.
int curvePixels(const QImage& page, const QRectF& imageTwips, int dpi) {
    constexpr double kMarginPt = 5 / 25.4 * 72;                                    // the PDF's margin
    const double sx = imageTwips.width() / 4800, sy = imageTwips.height() / 4000;  // plot units to twips
    const auto px = [&](double twips) { return static_cast<int>((kMarginPt + twips / 20) * dpi / 72); };
    int n = 0;
    for (int y = px(imageTwips.top() + 500 * sy); y < px(imageTwips.top() + 3400 * sy); ++y)
        for (int x = px(imageTwips.left() + 600 * sx); x < px(imageTwips.left() + 4200 * sx); ++x) {
            const QColor c = page.pixelColor(x, y);
            n += c.red() > 150 && c.green() < 110 && c.blue() < 110;
        }
    return n;
}

class ReportPdf : public ConsoleFixture {
  protected:
    void prepareSettings() override { settings->write(Section::Topic, u"COMPANY", kCompany); }
    void SetUp() override {
        ConsoleFixture::SetUp();
        reports = std::make_unique<ReportPrinter>([this] { return console->reportState(); }, console->plots(), *settings,
                                                  [this]() -> Prompter& { return prompter; });
        reports->printerInstalled = [] { return false; };
        reports->documentsFolder = [this] { return dir.filePath(QStringLiteral("文档")); };
        reports->now = [] { return QDateTime(QDate(2026, 12, 10), QTime(8, 30, 0)); };
    }

    // The file named by the one message of the print.
    QString writtenFile(const QString& lead) const {
        const QStringList messages = prompter.messages();
        if (messages.size() != 1 || !messages[0].startsWith(lead)) return {};
        return messages[0].mid(lead.size());
    }

    // Every line the layout gives a page, found in the page's text.
    void expectEveryLine(const QString& file, const std::vector<ReportPage>& pages) {
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const QString text = pdfText(file, static_cast<int>(i) + 1);
            ASSERT_FALSE(text.isEmpty()) << "page " << i + 1;
            for (const ReportText& t : pages[i].texts)
                EXPECT_TRUE(text.contains(t.text)) << "page " << i + 1 << " lacks " << t.text.toStdString();
        }
    }

    std::unique_ptr<ReportPrinter> reports;
};

TEST_F(ReportPdf, SixChannelsWithoutAPrinterGoToTwoLandscapePagesInTheDocumentsFolder) {
    ConsoleState& s = console->state();
    // Group 1-3 runs TV; group 4-6 three kinds under the title of channel 6's (electrolyte).
    s.kind = {TestKind::TV,      TestKind::TV, TestKind::TV,
              TestKind::Leakage, TestKind::TV, TestKind::Electrolyte};
    for (int ch = 0; ch < kChannels; ++ch) {
        s.field(Field::TvTestNumber, ch) = QStringLiteral("B7%1HL").arg(ch + 1);
        s.field(Field::RiseTime, ch) = QString::number(40 + ch);
        s.field(Field::TvJudgement, ch) = QStringLiteral("合格");
        s.field(Field::TvOperator, ch) = QStringLiteral("张工");
    }
    s.field(Field::ElecJudgement, 5) = QStringLiteral("不合格");
    s.field(Field::Spark1Voltage, 5) = QStringLiteral("412.5");
    s.field(Field::Spark1Time, 5) = QStringLiteral("37");
    // Channel 6's plot is left empty: its area must show no curve.
    for (int ch = 0; ch < 5; ++ch) drawCurve(*console, ch);
    // The report makes "宋体" resolve by itself, whatever was painted before it.
    QFont::removeSubstitutions(QStringLiteral("宋体"));

    ASSERT_TRUE(reports->command(u"print16"));

    const QString file = writtenFile(kNoPrinterSaved);
    ASSERT_FALSE(file.isEmpty()) << prompter.messages().join(u'|').toStdString();
    EXPECT_EQ(QFileInfo(file).absolutePath(),
              QFileInfo(dir.filePath(QStringLiteral("文档"))).absoluteFilePath());
    EXPECT_EQ(QFileInfo(file).fileName(), QStringLiteral("报告-2026-12-10-083000-1-6通道.pdf"));
    ASSERT_TRUE(QFileInfo::exists(file));
    ASSERT_EQ(pdfPages(file), 2);

    const std::vector<ReportPage> pages = reports->pages({0, 1});
    expectEveryLine(file, pages);
    EXPECT_TRUE(pdfText(file, 1).contains(QStringLiteral("Varnot智能TV仪铝箔特性测试报告")));
    EXPECT_TRUE(pdfText(file, 2).contains(QStringLiteral("Varnot智能TV仪电解液测试报告")));
    EXPECT_TRUE(pdfText(file, 2).contains(QStringLiteral("火化电压1：412.5V")));
    EXPECT_FALSE(pdfText(file, 1).contains(QStringLiteral("TV通道4数据显示")));
    EXPECT_FALSE(pdfText(file, 2).contains(QStringLiteral("TV通道3数据显示")));

    constexpr int kDpi = 100;
    for (int g = 0; g < 2; ++g) {
        const QImage page = pdfPageImage(file, g + 1, kDpi);
        ASSERT_FALSE(page.isNull());
        EXPECT_GT(page.width(), page.height()) << "page " << g + 1 << " is not landscape";
        for (int m = 0; m < 3; ++m) {
            const int ch = 3 * g + m;
            const int n = curvePixels(page, pages[g].images[m].rect, kDpi);
            if (ch < 5)
                EXPECT_GT(n, 100) << "no curve in the plot of channel " << ch + 1;
            else
                EXPECT_EQ(n, 0) << "a curve in the empty plot of channel " << ch + 1;
        }
    }

    // The texts' face is embedded: the installed CJK face the console names "宋体", nothing else.
    const QStringList fonts = pdfFonts(file);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& row : fonts) {
        const QStringList cols = row.split(u' ', Qt::SkipEmptyParts);
        ASSERT_GE(cols.size(), 6);
        EXPECT_EQ(cols[cols.size() - 5], QStringLiteral("yes")) << row.toStdString();
        EXPECT_TRUE(row.contains(QStringLiteral("UMing")) || row.contains(QStringLiteral("MicroHei")))
            << row.toStdString();
        EXPECT_FALSE(row.contains(QStringLiteral("Noto"))) << row.toStdString();
    }
}

TEST_F(ReportPdf, StoredTestsPutBackByTheRecordDisplayPrintTheSameWay) {
    console->selectKind(0, TestKind::TV);
    for (int slot = 0; slot < 3; ++slot) {
        StoredRecord r;
        r.kind = TestKind::TV;
        r.name = QStringLiteral("H%1HL").arg(slot + 1);
        r.values = {{QStringLiteral("化成电压"), 100.0 * (slot + 1)},
                    {QStringLiteral("测试电流"), 2},
                    {QStringLiteral("延迟时间"), 60},
                    {QStringLiteral("升压时间指标"), 120},
                    {QStringLiteral("升压时间"), 90 + slot},
                    {QStringLiteral("TV值"), 95.5 * (slot + 1)},
                    {QStringLiteral("TV特性"), QStringLiteral("合格")},
                    {QStringLiteral("测试编号"), r.name},
                    {QStringLiteral("测试人"), QStringLiteral("李工")},
                    {QStringLiteral("测试日期"), QDate(2026, 11, 3)},
                    {QStringLiteral("水煮前"), true},
                    {QStringLiteral("水煮后"), false}};
        for (int k = 1; k <= 200; ++k) {
            r.volts.push_back(static_cast<float>(100.0 * (slot + 1) * (1 - std::exp(-k / 40.0))));
            r.amps.push_back(2.0f);
        }
        Live live = console->live();
        QString error;
        ASSERT_TRUE(displayRecord(live, slot, r, &error)) << error.toStdString();
    }

    reports->command(u"print13");

    const QString file = writtenFile(kNoPrinterSaved);
    ASSERT_FALSE(file.isEmpty()) << prompter.messages().join(u'|').toStdString();
    ASSERT_EQ(pdfPages(file), 1);
    const std::vector<ReportPage> pages = reports->pages({0, 0});
    expectEveryLine(file, pages);
    const QString text = pdfText(file, 1);
    for (const char* line :
         {"测试编号：H1HL", "化成电压：300V", "升压时间：91S", "TV值0：286.5V", "测试日期：2026/11/03"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line;
    const QImage page = pdfPageImage(file, 1, 100);
    for (int m = 0; m < 3; ++m) EXPECT_GT(curvePixels(page, pages[0].images[m].rect, 100), 100) << m;
}

TEST_F(ReportPdf, WithAPrinterTheDialogChoosesAndMayWriteAPdf) {
    reports->printerInstalled = [] { return true; };
    const QString chosen = dir.filePath(QStringLiteral("chosen.pdf"));

    // Cancelled: nothing is written, nothing is said.
    reports->command(u"print46");
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, QStringLiteral("print"));
    EXPECT_TRUE(prompter.messages().isEmpty());

    // The operator chooses a PDF file in the dialog: the landscape pages go there, and the path
    // is told.
    bool landscape = false;
    prompter.onPrintDialog = [&](QPrinter& printer) {
        landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(chosen);
        return true;
    };
    reports->command(u"print2");
    EXPECT_TRUE(landscape);
    ASSERT_EQ(writtenFile(QStringLiteral("报告已保存为PDF文件：")), chosen);
    ASSERT_EQ(pdfPages(chosen), 1);
    const QSizeF size = pdfPageSize(chosen);
    EXPECT_GT(size.width(), size.height());
    // print2 printed the range of the last print, channels 4-6.
    EXPECT_TRUE(pdfText(chosen, 1).contains(QStringLiteral("TV通道4数据显示")));
    EXPECT_FALSE(pdfText(chosen, 1).contains(QStringLiteral("TV通道1数据显示")));

    // A file chosen where none can be written is reported as unwritten, not as saved.
    prompter.shown.clear();
    const QString nowhere = dir.filePath(QStringLiteral("missing/folder/chosen.pdf"));
    prompter.onPrintDialog = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(nowhere);
        return true;
    };
    reports->command(u"print13");
    EXPECT_EQ(writtenFile(QStringLiteral("报告文件无法写入：")), nowhere);
}

TEST_F(ReportPdf, AFileThatCannotBeWrittenIsReportedAsSuch) {
    // The documents folder cannot be made: a plain file stands where it should be.
    QFile blocker(dir.filePath(QStringLiteral("文档")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    reports->command(u"print13");

    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_TRUE(prompter.messages()[0].startsWith(QStringLiteral("报告文件无法写入：")))
        << prompter.messages()[0].toStdString();
}

}  // namespace
}  // namespace varnot::testing
