// The batch tab through its own widgets in the console window: 打开 with its fields, grid and
// curves, the two 保存, 删除, the serial and specification lists, 合并报表, and what the operator
// is told when the batch database fails; on the SQLite ODBC driver and on PostgreSQL.
#include "batch/batch_tab.h"
#include "console/console.h"
#include "console/console_window.h"
#include "link/frames.h"
#include "link/poll_cycle.h"
#include "report/certificate_layout.h"
#include "report/pdf_reading.h"
#include "report/report_printer.h"
#include "support/batch_source.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace varnot;
using namespace varnot::testing;

namespace {

const QDate kDay(2026, 12, 10);

// Column "0" holds 0, every later one `volts`.
std::vector<float> flatCurve(int n, float volts) {
    std::vector<float> c(std::size_t(n), volts);
    c[0] = 0;
    return c;
}

class BatchTabTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(source.setUp(GetParam(), QStringLiteral("tab%1").arg(++tests), QDir(dir.path())));
        if (IsSkipped()) return;
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        console = std::make_unique<Console>(*settings, prompter, Timing{}, [] { return kDay; });
        console->load();
        console->batchStore() = BatchStore(source.connectionText());
        window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        window->show();
        window->showTab(5);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        source.tearDown();
    }

    template <typename T>
    T* widget(const char* name) {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* edit(const char* name) { return widget<QLineEdit>(name); }
    void click(const char* button) { QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton); }
    // Replaces a field's text by typing, as the operator does.
    void type(const char* field, const QString& text) {
        QLineEdit* e = edit(field);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
    }
    QString cell(int r, int c) { return widget<QTableWidget>("Grid2")->item(r, c)->text(); }
    QString stored(const QString& sql) { return source.query(sql); }

    // A batch B7 with sheets 1 (205 samples), 2 (205) and 4 (85 samples: fewer than opening reads),
    // every sample after the first at 312 V.
    void storeB7() {
        BatchStore& store = console->batchStore();
        ASSERT_EQ(store.ensureSchema(), QString());
        const BatchFields b{QStringLiteral("B7"), QStringLiteral("KDB-520VF"), QStringLiteral("520"), QStringLiteral("1200"), {},
                            QStringLiteral("12.5"), QStringLiteral("IQ-7"), QStringLiteral("L2"), QStringLiteral("3")};
        const SheetFields s{QStringLiteral("0.812"), QStringLiteral("3"), QStringLiteral("30.5"), QStringLiteral("25"),
                            QStringLiteral("530.2"), QStringLiteral("498.5")};
        for (auto [k, n] : {std::pair{1, 205}, std::pair{2, 205}, std::pair{4, 85}})
            ASSERT_TRUE(store.storeSheet(b, k, s, flatCurve(n, 312.0f), kDay).ok());
    }

    // Coloured (not grey) pixels inside an area of a PDF page rendered at `dpi`, clear of its frame.
    static int colouredPixels(const QImage& page, const QRectF& twips, int dpi) {
        constexpr double kMarginPt = 5 / 25.4 * 72;  // the PDF's margin
        const auto px = [&](double t) { return static_cast<int>((kMarginPt + t / 20) * dpi / 72); };
        int n = 0;
        for (int y = px(twips.top()) + 3; y < px(twips.bottom()) - 3; ++y)
            for (int x = px(twips.left()) + 3; x < px(twips.right()) - 3; ++x) {
                const QColor c = page.pixelColor(x, y);
                n += std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 100;
            }
        return n;
    }

    // Pixels of exactly `colour` in column x (plot units) between rows y ± 2 pixels.
    int pixelsNear(int ch, double x, double y, const QColor& colour) {
        const QImage& img = console->plots().TV[ch]->image();
        const int px = PlotSurface::px(x), py = PlotSurface::px(y);
        int n = 0;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -2; dy <= 2; ++dy)
                if (img.valid(px + dx, py + dy) && img.pixelColor(px + dx, py + dy) == colour) ++n;
        return n;
    }

    QTemporaryDir dir;
    BatchSource source;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
};

TEST_P(BatchTabTest, OpeningShowsTheBatchItsSheetsAndItsCurves) {
    ASSERT_NO_FATAL_FAILURE(storeB7());
    // Channels 4 to 6 keep a formation voltage of their own; the batch's sheets 1' to 3' are drawn
    // on them at the batch's VF all the same.
    console->state().field(Field::FormationVoltage, 3) = QStringLiteral("800");
    type("txtWhole", QStringLiteral("b7"));
    EXPECT_EQ(edit("txtWhole")->text(), QStringLiteral("B7"));
    click("openBatch");
    EXPECT_TRUE(prompter.shown.empty()) << prompter.messages().join('|').toStdString();

    const std::pair<const char*, const char*> fields[] = {{"txtWhole1", "KDB-520VF"}, {"VFText", "520"}, {"txtWhole3", "1200"},
                                                          {"txtWhole4", ""},          {"txtWhole5", "3"},  {"txtWhole6", "12.5"},
                                                          {"txtWhole7", "L2"},        {"txtWhole8", "IQ-7"}};
    for (const auto& [name, text] : fields) EXPECT_EQ(edit(name)->text(), QString::fromUtf8(text)) << name;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(console->state().field(Field::FormationVoltage, c), QStringLiteral("520"));
        EXPECT_EQ(console->state().field(Field::TvTestNumber, c), QStringLiteral("B7"));
    }
    const char* row[] = {"0.812", "3.00", "30.50", "25.00", "530.20", "498.50"};
    for (int k : {1, 2, 4})
        for (int c = 1; c <= 6; ++c) EXPECT_EQ(cell(k, c), QString::fromLatin1(row[c - 1])) << k << "," << c;
    for (int k : {3, 5, 6})
        for (int c = 1; c <= 6; ++c) EXPECT_EQ(cell(k, c), QString()) << k << "," << c;
    EXPECT_EQ(edit("Cap1")->text(), QStringLiteral("0.812"));

    // 312 V on 520 V lies at height 4000 × (0.9 − 312 / 780) = 2000; the longest curve read
    // (25 + 178 points) fits at zoom 1, 12.5 units a sample.
    ASSERT_EQ(console->plots().hxfd[0], 1.0f);
    const QColor red(255, 0, 0), green(0, 255, 0);
    EXPECT_GT(pixelsNear(0, 400 + 100 * 12.5, 2000, red), 0);
    EXPECT_GT(pixelsNear(1, 400 + 100 * 12.5, 2000, green), 0);
    EXPECT_EQ(pixelsNear(2, 400 + 100 * 12.5, 2000, QColor(0, 0, 255)), 0) << "no curve 3";
    // Sheet 4 starts 100 units further right and ends with its 85 stored samples.
    EXPECT_GT(pixelsNear(3, 500 + 50 * 12.5, 2000, red), 0);
    EXPECT_EQ(pixelsNear(3, 500 + 120 * 12.5, 2000, red), 0);
}

TEST_P(BatchTabTest, AStoredVfTheFormationVoltageWouldRefuseTypedStaysOutOfTheChannels) {
    BatchStore& store = console->batchStore();
    ASSERT_EQ(store.ensureSchema(), QString());
    const BatchFields b{QStringLiteral("B9"), QStringLiteral("KDB-520VF"), QStringLiteral("5200"), QStringLiteral("1200"), {},
                        QStringLiteral("12.5"), QStringLiteral("IQ-7"), QStringLiteral("L2"), QStringLiteral("3")};
    const SheetFields s{QStringLiteral("0.812"), QStringLiteral("3"), QStringLiteral("30.5"), QStringLiteral("25"),
                        QStringLiteral("530.2"), QStringLiteral("498.5")};
    ASSERT_TRUE(store.storeSheet(b, 1, s, flatCurve(205, 312.0f), kDay).ok());
    for (int c = 0; c < kChannels; ++c) console->state().field(Field::FormationVoltage, c) = QStringLiteral("250");
    const auto voltageWord = [&](int ch) {
        const auto frame = buildPollFrame(pollInputFrom(console->state()));
        return frame ? int(getWord(*frame, kFirstBlock + kBlockSize * ch + kOffVoltageCode)) : -1;
    };
    PerChannel<int> before{};
    for (int c = 0; c < 3; ++c) before[c] = voltageWord(c);
    ASSERT_GT(before[0], 0);
    type("txtWhole", QStringLiteral("B9"));
    click("openBatch");
    // The batch opens (its fields, its serial on channels 1-3); its VF does not reach 化成电压.
    EXPECT_EQ(edit("VFText")->text(), QStringLiteral("5200"));
    QStringList refused;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(console->state().field(Field::FormationVoltage, c), QStringLiteral("250")) << c;
        EXPECT_EQ(console->state().field(Field::TvTestNumber, c), QStringLiteral("B9")) << c;
        refused << QStringLiteral("化成电压%1的存储值“5200”未采用：范围是1～1000V").arg(c + 1);
    }
    EXPECT_EQ(prompter.messages(), QStringList{refused.join(u'\n')});
    for (int c = 0; c < 3; ++c) EXPECT_EQ(voltageWord(c), before[c]) << c;
}

TEST_P(BatchTabTest, TheBatchFieldsAndTheSheetValuesAreSavedAsCorrected) {
    ASSERT_NO_FATAL_FAILURE(storeB7());
    type("txtWhole", QStringLiteral("B7"));
    click("openBatch");
    type("txtWhole1", QStringLiteral("kda-380vf"));
    type("txtWhole3", QString());
    click("saveBatch");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("整体参数保存完毕!")});
    EXPECT_EQ(stored(QStringLiteral("select Speci from Whole_Parameter where SerNum='B7'")), QStringLiteral("KDA-380VF"));
    EXPECT_EQ(stored(QStringLiteral("select Length from Whole_Parameter where SerNum='B7'")), QString());
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Whole_Parameter")), QStringLiteral("1"));

    type("Cap1", QStringLiteral("1.2345"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("1.235"));
    type("Bend4", QString());
    click("saveSheets");
    EXPECT_EQ(prompter.messages().last(), QStringLiteral("部分参数保存完毕!"));
    EXPECT_EQ(stored(QStringLiteral("select SpecVot from Part_Parameter where SerNum='B7' and NumCurve=1")).toDouble(), 1.235);
    EXPECT_EQ(stored(QStringLiteral("select Bend from Part_Parameter where SerNum='B7' and NumCurve=4")), QString());
    EXPECT_EQ(stored(QStringLiteral("select Pull from Part_Parameter where SerNum='B7' and NumCurve=4")).toDouble(), 30.5);
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Part_Parameter")), QStringLiteral("3")) << "no sheet is added";

    // A serial not stored yet is inserted.
    type("txtWhole", QStringLiteral("n1"));
    click("saveBatch");
    EXPECT_EQ(stored(QStringLiteral("select Conner from Whole_Parameter where SerNum='N1'")), QStringLiteral("OQC"));
}

TEST_P(BatchTabTest, DeletingAsksFirstThenRemovesTheWholeBatch) {
    ASSERT_NO_FATAL_FAILURE(storeB7());
    type("txtWhole", QStringLiteral("B7"));
    click("openBatch");
    click("deleteBatch");
    EXPECT_EQ(prompter.shown.back().text, QStringLiteral("此操作会删除数据,是否确定?"));
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Curve where SerNum='B7'")), QStringLiteral("3"));

    prompter.answers = {true};
    click("deleteBatch");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("数据删除完毕!")});
    for (const char* table : {"Whole_Parameter", "Part_Parameter", "Curve"})
        EXPECT_EQ(stored(QStringLiteral("select count(*) from %1").arg(QString::fromLatin1(table))), QStringLiteral("0")) << table;
    for (const char* name : {"txtWhole", "txtWhole1", "txtWhole3", "txtWhole4", "txtWhole5", "txtWhole6", "txtWhole7", "txtWhole8"})
        EXPECT_EQ(edit(name)->text(), QStringLiteral(" ")) << name;
    EXPECT_EQ(edit("VFText")->text(), QStringLiteral("520"));
    EXPECT_EQ(cell(1, 1), QString());

    // Opening the blank serial finds nothing and says nothing.
    click("openBatch");
    EXPECT_EQ(prompter.messages().size(), 1);
}

TEST_P(BatchTabTest, TheSerialListOffersTheStoredSerialsContainingTheText) {
    BatchStore& store = console->batchStore();
    for (const char* s : {"AB12", "XAB123", "QQ1"})
        ASSERT_TRUE(store.saveBatch({QString::fromLatin1(s), {}, QStringLiteral("520"), {}, {}, {}, {}, {}, QStringLiteral("0")}, kDay).ok());
    auto* list = widget<QListWidget>("List1");
    type("txtWhole", QStringLiteral("ab1"));
    QTest::mouseDClick(edit("txtWhole"), Qt::LeftButton);
    ASSERT_TRUE(list->isVisible());
    EXPECT_FALSE(edit("txtWhole")->isVisible());
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) entries << list->item(i)->text();
    entries.sort();
    EXPECT_EQ(entries, (QStringList{QStringLiteral("AB12"), QStringLiteral("XAB123")}));
    QListWidgetItem* chosen = list->findItems(QStringLiteral("XAB123"), Qt::MatchExactly).value(0);
    ASSERT_NE(chosen, nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(chosen).center());
    EXPECT_EQ(edit("txtWhole")->text(), QStringLiteral("XAB123"));
    EXPECT_FALSE(list->isVisible());
    EXPECT_TRUE(edit("txtWhole")->isVisible());

    type("txtWhole", QStringLiteral("zz"));
    QTest::mouseDClick(edit("txtWhole"), Qt::LeftButton);
    EXPECT_FALSE(list->isVisible());
    EXPECT_TRUE(edit("txtWhole")->isVisible());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_P(BatchTabTest, TheSpecificationListAndAddingAnUnknownSpecification) {
    auto* list = widget<QListWidget>("List2");
    QTest::mouseDClick(edit("txtWhole1"), Qt::LeftButton);
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->count(), BatchStore::seedSpecifications().size());
    QListWidgetItem* chosen = list->findItems(QStringLiteral("KDC-600VF"), Qt::MatchExactly).value(0);
    ASSERT_NE(chosen, nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(chosen).center());
    EXPECT_EQ(edit("txtWhole1")->text(), QStringLiteral("KDC-600VF"));
    EXPECT_FALSE(list->isVisible());

    const QString question = QStringLiteral("此规格不存在,是否加入到规格列表中?");
    type("txtWhole1", QStringLiteral("kdy-2"));
    QTest::mouseDClick(edit("txtWhole1"), Qt::LeftButton);  // answered No
    EXPECT_EQ(prompter.count(question), 1);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Criterion where Speci='KDY-2'")), QStringLiteral("0"));

    prompter.answers = {true};
    QTest::mouseDClick(edit("txtWhole1"), Qt::LeftButton);
    EXPECT_EQ(prompter.count(question), 2);
    ASSERT_TRUE(list->isVisible());
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("KDY-2"));
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Criterion where Speci='KDY-2'")), QStringLiteral("1"));

    // A listed one is shown without a question.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(edit("txtWhole1")->text(), QStringLiteral("KDY-2"));
    QTest::mouseDClick(edit("txtWhole1"), Qt::LeftButton);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(prompter.count(question), 2);
}

TEST_P(BatchTabTest, FailuresNameTheReasonAndChangeNothing) {
    ASSERT_NO_FATAL_FAILURE(storeB7());
    type("txtWhole", QStringLiteral("B7"));
    type("VFText", QStringLiteral("5x"));
    click("saveBatch");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("整体参数无法保存：VF值不是有效的数值")});
    type("VFText", QStringLiteral("520"));

    console->state().field(Field::RiseTime, 0) = QStringLiteral("31");
    console->batchStore() = BatchStore(QStringLiteral("no_such_source;UID=sa;Password=;"));
    prompter.shown.clear();
    prompter.answers = {true};
    click("openBatch");
    click("saveBatch");
    click("deleteBatch");
    QTest::mouseDClick(edit("txtWhole"), Qt::LeftButton);
    const QString docs = dir.filePath(QStringLiteral("文档"));
    window->reportPrinter().documentsFolder = [docs] { return docs; };
    window->findChild<QAction*>(QStringLiteral("mergedReport"))->trigger();
    const QStringList shown = prompter.messages();
    ASSERT_EQ(shown.size(), 5) << shown.join('|').toStdString();
    const char* starts[] = {"批次无法打开：", "整体参数无法保存：", "批次无法删除：", "编号无法查询：", "合格证无法输出："};
    EXPECT_FALSE(QFileInfo::exists(docs)) << "no certificate without its batch";
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(shown[i].startsWith(QString::fromUtf8(starts[i]))) << shown[i].toStdString();
        EXPECT_GT(shown[i].size(), QString::fromUtf8(starts[i]).size() + 3) << "carries the database's reason";
    }
    EXPECT_EQ(console->state().field(Field::RiseTime, 0), QStringLiteral("31")) << "a failed open resets nothing";
    EXPECT_EQ(edit("txtWhole")->text(), QStringLiteral("B7"));
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Curve where SerNum='B7'")), QStringLiteral("3"));
}

TEST_P(BatchTabTest, OpeningAndDeletingWaitForTheEndOfARun) {
    ASSERT_NO_FATAL_FAILURE(storeB7());
    connectInstrument(*console);
    console->recordExists = [](int) { return false; };
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising()) << prompter.messages().join('|').toStdString();
    console->state().field(Field::FormationVoltage, 0) = QStringLiteral("600");
    prompter.shown.clear();
    type("txtWhole", QStringLiteral("B7"));
    prompter.answers = {true};
    click("openBatch");
    click("deleteBatch");
    EXPECT_EQ(prompter.count(QStringLiteral("测试正在进行，不能打开或删除批次！")), 2);
    EXPECT_EQ(console->state().field(Field::FormationVoltage, 0), QStringLiteral("600"));
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Whole_Parameter")), QStringLiteral("1"));
    console->stopAll();
}

TEST_P(BatchTabTest, WithoutTheMergedReportProgramTheBatchCertificateIsWrittenAsPdf) {
    ASSERT_NO_FATAL_FAILURE(storeB7());  // sheets 1, 2 and 1'; Vt 498.5 below the VF 520
    const QString docs = dir.filePath(QStringLiteral("文档"));
    window->reportPrinter().documentsFolder = [docs] { return docs; };
    settings->write(Section::Topic, u"COMPANY", QStringLiteral("某某电子材料有限公司"));
    QAction* report = window->findChild<QAction*>(QStringLiteral("mergedReport"));
    ASSERT_NE(report, nullptr);
    const QString saved = QStringLiteral("找不到合并报表程序，合格证已保存为PDF文件：");

    // A serial not stored: nothing is written.
    type("txtWhole", QStringLiteral("b8"));
    report->trigger();
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("批次未保存，无法输出合格证：B8")});
    EXPECT_FALSE(QFileInfo::exists(docs));

    // The stored batch, whatever the screen shows meanwhile.
    prompter.shown.clear();
    type("txtWhole", QStringLiteral("b7"));
    type("VFText", QStringLiteral("400"));
    report->trigger();
    ASSERT_EQ(prompter.messages().size(), 1);
    ASSERT_TRUE(prompter.messages()[0].startsWith(saved)) << prompter.messages()[0].toStdString();
    const QString file = prompter.messages()[0].mid(saved.size());
    EXPECT_EQ(file, QDir(docs).filePath(QStringLiteral("合格证-B7-2026-12-10.pdf")));
    const QString text = pdfText(file, 1);
    for (const char* line : {"编号：B7", "规格：KDB-520VF", "VF值：520", "长度：1200", "重量：12.5", "线别：L2",
                             "IQ编号：IQ-7", "接头数：3", "某某电子材料有限公司", "批次判定：不合格"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line << "\n" << text.toStdString();
    for (const char* value : {"0.812", "30.50", "25.00", "530.20", "498.50", "不合格"})
        EXPECT_GE(text.count(QString::fromUtf8(value)), 3) << value << " on sheets 1, 2 and 1'";
    const QImage page = pdfPageImage(file, 1, 100);
    ASSERT_FALSE(page.isNull());
    for (int k = 1; k <= kSheets; ++k)
        EXPECT_EQ(colouredPixels(page, certificateCurveArea(k), 100) > 50, k == 1 || k == 2 || k == 4) << "sheet " << k;

    // Again: a file of its own beside the first.
    prompter.shown.clear();
    report->trigger();
    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_EQ(prompter.messages()[0], saved + QDir(docs).filePath(QStringLiteral("合格证-B7-2026-12-10-2.pdf")));
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_P(BatchTabTest, TheMergedReportProgramIsStartedFromTheProgramFolder) {
    if (GetParam() != Engine::SQLite) GTEST_SKIP() << "no database involved";
    // A program there is started and left running on its own.
    QTemporaryDir folder;
    const QString program = BatchScreen::mergedReportProgram(folder.path());
    EXPECT_TRUE(program.endsWith(QStringLiteral("/成绩单输出.exe")));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch started\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    BatchHost host{console->batch(), console->batchStore(),
                   [this]() -> Prompter& { return prompter; }};
    host.programFolder = folder.path();
    BatchScreen(host).mergedReport();
    EXPECT_TRUE(waitFor([&] { return QFile::exists(folder.filePath(QStringLiteral("started"))); }));
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
}

// 打开 and 删除 over a measured test that is not stored ask before anything is cleared; No keeps
// the test whole and, for 删除, the batch stored.
TEST_P(BatchTabTest, OpenAndDeleteOverAnUnsavedTestAskFirst) {
    ASSERT_NO_FATAL_FAILURE(storeB7());
    for (int k = 1; k <= 5; ++k) console->curves().V[0][std::size_t(k)] = 10.0f * float(k);
    console->curves().stored[0] = 5;
    console->view().endSample[0] = 5;
    console->state().chEnded[0] = true;
    console->state().field(Field::TvJudgement, 0) = QStringLiteral("合格");
    console->concludeTest(0);
    ASSERT_TRUE(console->unsavedTest());
    type("txtWhole", QStringLiteral("B7"));
    for (const char* button : {"openBatch", "deleteBatch"}) {
        prompter.shown.clear();
        prompter.answers = {false};
        click(button);
        ASSERT_EQ(prompter.shown.size(), 1u) << button;
        EXPECT_TRUE(prompter.shown[0].text.startsWith(QStringLiteral("测试数据尚未保存，确定要放弃吗？"))) << button;
        EXPECT_EQ(console->test(0).state, TestState::Ended) << button;
        EXPECT_EQ(console->state().field(Field::TvJudgement, 0), u"合格") << button;
        EXPECT_EQ(console->curves().stored[0], 5) << button;
    }
    EXPECT_EQ(source.query(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter WHERE SerNum = 'B7'")), u"3");
    prompter.shown.clear();
    prompter.answers = {true};
    click("openBatch");
    EXPECT_EQ(console->test(0).state, TestState::ShownBatch);
    EXPECT_EQ(console->state().field(Field::TvTestNumber, 0), u"B7");
    EXPECT_FALSE(console->unsavedTest());
}

// Batch A100: six sheets at VF 520, each stored with the rise-time limit 150 it was tested with;
// sheet 3 rose in 110 s.
TEST_P(BatchTabTest, TheCertificateJudgesEachSheetByTheLimitItWasTestedWith) {
    BatchStore& store = console->batchStore();
    ASSERT_EQ(store.ensureSchema(), QString());
    const BatchFields b{QStringLiteral("A100"), QStringLiteral("KDB-520VF"), QStringLiteral("520"), {}, {}, {},
                        QStringLiteral("IQ-1"), QStringLiteral("L1"), QStringLiteral("0")};
    for (int k = 1; k <= 6; ++k) {
        SheetFields s{QStringLiteral("0.8"), QStringLiteral("3"), QStringLiteral("30"), k == 3 ? QStringLiteral("110") : QStringLiteral("40"),
                      QStringLiteral("530"), QStringLiteral("525")};
        s.trLimit = QStringLiteral("150");
        ASSERT_TRUE(store.storeSheet(b, k, s, flatCurve(50, 312.0f), kDay).ok());
    }
    // Today's limit on the console is stricter; it does not reach yesterday's sheets.
    for (int ch = 0; ch < 3; ++ch) console->state().field(Field::RiseTimeLimit, ch) = QStringLiteral("100");
    const QString docs = dir.filePath(QStringLiteral("文档"));
    window->reportPrinter().documentsFolder = [docs] { return docs; };
    const QString saved = QStringLiteral("找不到合并报表程序，合格证已保存为PDF文件：");
    const auto certificate = [&] {
        prompter.shown.clear();
        type("txtWhole", QStringLiteral("a100"));
        window->findChild<QAction*>(QStringLiteral("mergedReport"))->trigger();
        const QStringList shown = prompter.messages();
        EXPECT_EQ(shown.size(), 1);
        EXPECT_TRUE(!shown.isEmpty() && shown[0].startsWith(saved)) << shown.join('|').toStdString();
        return shown.isEmpty() ? QString() : pdfText(shown[0].mid(saved.size()), 1);
    };
    QString text = certificate();
    EXPECT_TRUE(text.contains(QStringLiteral("批次判定：合格"))) << text.toStdString();
    // Every sheet's judgement (the row captioned 判定) passes, sheet 3 included.
    QString judgements;
    for (const QString& line : text.split(u'\n'))
        if (line.trimmed().startsWith(QStringLiteral("判定 "))) judgements = line;
    EXPECT_EQ(judgements.count(QStringLiteral("合格")), 6) << text.toStdString();
    EXPECT_FALSE(judgements.contains(QStringLiteral("不合格"))) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("150")), 6) << text.toStdString();

    // A sheet stored before the limit was kept: the certificate says so and does not guess.
    ASSERT_EQ(source.query(QStringLiteral("UPDATE Part_Parameter SET TrLimit=NULL WHERE NumCurve=3")), QString());
    text = certificate();
    EXPECT_TRUE(text.contains(QStringLiteral("未记录"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("批次判定：不完整"))) << text.toStdString();
}

// A batch filed under a lower-case serial (a test numbered "b7", an older console) is found
// however the serial is typed, and listed by the search.
TEST_P(BatchTabTest, ALowerCaseSerialStaysReachable) {
    ASSERT_EQ(console->batchStore().ensureSchema(), QString());
    ASSERT_EQ(source.query(QStringLiteral("INSERT INTO Whole_Parameter (SerNum, Speci, VF, NodeNum, ProDate, Pace, Conner) "
                                          "VALUES ('b7', 'KDB-520VF', 520, 2, '2026/03/01', 1000, 'OQC')")),
              QString());
    ASSERT_EQ(source.query(QStringLiteral("INSERT INTO Part_Parameter (SerNum, NumCurve, SpecVot, Bend, Pull, Tr, Vm, Vt) "
                                          "VALUES ('b7', 2, 0.8, 3, 30, 41, 530, 525)")),
              QString());
    type("txtWhole", QStringLiteral("b7"));
    ASSERT_EQ(edit("txtWhole")->text(), QStringLiteral("B7"));
    click("openBatch");
    EXPECT_TRUE(prompter.shown.empty()) << prompter.messages().join('|').toStdString();
    EXPECT_EQ(edit("VFText")->text(), QStringLiteral("520"));
    EXPECT_EQ(edit("txtWhole5")->text(), QStringLiteral("2"));
    EXPECT_EQ(cell(2, 4), QStringLiteral("41.00"));

    type("txtWhole", QStringLiteral("b"));
    QTest::mouseDClick(edit("txtWhole"), Qt::LeftButton);
    auto* list = widget<QListWidget>("List1");
    ASSERT_TRUE(list->isVisible());
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("b7"));
}

// After a save of the run (the sheets stored, the batch never opened), the sheet values typed
// are stored; a sheet the batch does not hold is named. An empty cell stays no value.
TEST_P(BatchTabTest, SheetValuesTypedAfterALiveSaveAreStoredOrRefusedByName) {
    ASSERT_NO_FATAL_FAILURE(storeB7());  // sheets 1, 2 and 1'
    type("txtWhole", QStringLiteral("B7"));
    type("Cap1", QStringLiteral("0.9"));
    type("Pull1", QStringLiteral("31"));
    type("Cap3", QStringLiteral("0.7"));
    click("saveSheets");
    EXPECT_EQ(prompter.messages(),
              QStringList{QStringLiteral("部分参数保存完毕!\n以下各片尚未保存在批次中，其参数无法保存：3")});
    const auto value = [&](const char* column, int k) {
        return stored(QStringLiteral("select %1 from Part_Parameter where SerNum='B7' and NumCurve=%2").arg(QString::fromLatin1(column)).arg(k));
    };
    EXPECT_EQ(value("SpecVot", 1).toDouble(), 0.9);
    EXPECT_EQ(value("Pull", 1).toDouble(), 31.0);
    EXPECT_EQ(value("Bend", 1), QString()) << "the empty bending cell is no value";
    EXPECT_EQ(value("SpecVot", 2).toDouble(), 0.812) << "nothing typed for sheet 2";
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Part_Parameter where SerNum='B7'")), QStringLiteral("3"));
}

// Sheet values typed before a run of channels 1-3 stay through its start; the results of the
// grid go.
TEST_P(BatchTabTest, SheetValuesTypedBeforeARunStay) {
    type("Cap2", QStringLiteral("1.5"));
    type("Bend2", QStringLiteral("4"));
    ASSERT_EQ(cell(2, 1), QStringLiteral("1.500"));
    connectInstrument(*console);
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising());
    EXPECT_EQ(cell(2, 1), QStringLiteral("1.500"));
    EXPECT_EQ(cell(2, 2), QStringLiteral("4"));
    EXPECT_EQ(edit("Cap2")->text(), QStringLiteral("1.5"));
    console->stopAll();
}

std::string engineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::SQLite ? "SQLiteOdbc" : "PostgreSQL";
}

INSTANTIATE_TEST_SUITE_P(Engines, BatchTabTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
