// The batch statistics window opened from the console window's menu, through its own widgets:
// 查询 over stored batches shows the fail share, the boiling change per position and the charts
// with the points beyond their limits marked; nothing found is said and clears the figures.
#include "statistics/statistics_window.h"
#include "console/console.h"
#include "console/console_window.h"
#include "statistics/chart_image.h"
#include "support/batch_source.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace varnot;
using namespace varnot::testing;

namespace {

const QString kGrade = QStringLiteral("KDB-520VF");
const QDate kDay(2026, 12, 5);

class StatisticsWindowTest : public ::testing::TestWithParam<Engine> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(
            source.setUp(GetParam(), QStringLiteral("statwin%1").arg(++tests), QDir(dir.path())));
        if (IsSkipped()) return;
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        console =
            std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
        console->load();
        console->batchStore() = BatchStore(source.connectionText());
        ASSERT_EQ(console->batchStore().ensureSchema(), QString());
        window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        source.tearDown();
    }

    // Sheet k of a batch of VF 500; an empty TV value stores a test that did not end.
    void store(const char* serial, const QString& grade, int k, const char* tr, const char* vt) {
        const BatchFields b{QString::fromLatin1(serial), grade, QStringLiteral("500"), {}, {}, {}, {}, {},
                            QStringLiteral("0")};
        SheetFields s{{}, {}, {}, QString::fromLatin1(tr), {}, QString::fromLatin1(vt)};
        s.finished = false;
        ASSERT_TRUE(console->batchStore().storeSheet(b, k, s, {0.0f, 1.0f}, kDay).ok()) << serial << k;
    }

    // 批次统计 from the menu bar; the window it opens.
    StatisticsWindow* open() {
        QAction* entry = window->menuBar()->findChild<QAction*>(QStringLiteral("statistics"));
        if (!entry) entry = window->findChild<QAction*>(QStringLiteral("statistics"));
        EXPECT_NE(entry, nullptr);
        if (!entry) return nullptr;
        EXPECT_EQ(entry->text(), QStringLiteral("批次统计"));
        entry->trigger();
        auto* w = window->findChild<StatisticsWindow*>();
        EXPECT_NE(w, nullptr);
        if (w) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        }
        return w;
    }
    template <typename T>
    T* in(StatisticsWindow* w, const char* name) {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void query(StatisticsWindow* w, const QString& grade, QDate from, QDate to) {
        in<QComboBox>(w, "spec")->setCurrentText(grade);
        in<QDateEdit>(w, "dateFrom")->setDate(from);
        in<QDateEdit>(w, "dateTo")->setDate(to);
        QTest::mouseClick(in<QPushButton>(w, "query"), Qt::LeftButton);
    }
    // Pixels of exactly `colour` within 3 pixels of where batch `batch` with `value` is drawn.
    static int near(const QImage& image, const ChartScale& s, int batch, double value, const QColor& colour) {
        const QPoint c = s.at(batch, value).toPoint();
        int n = 0;
        for (int dx = -3; dx <= 3; ++dx)
            for (int dy = -3; dy <= 3; ++dy)
                if (image.valid(c.x() + dx, c.y() + dy) && image.pixelColor(c.x() + dx, c.y() + dy) == colour)
                    ++n;
        return n;
    }

    QTemporaryDir dir;
    BatchSource source;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
};

TEST_P(StatisticsWindowTest, QueryShowsFailShareAndBoilingChange) {
    // Batch A: all six sheets, Tr 20 22 21 | 23 19 21, TV 510 500 499.9 | 520 505 515.
    // Batch B: sheet 5 missing, sheet 2 without TV value, Tr 24 22 23 | 25 – 21, TV 530 – 510 | 520 – 501.
    // Batch C is another grade.
    const struct {
        const char* serial;
        int k;
        const char* tr;
        const char* vt;
    } sheets[] = {{"A", 1, "20", "510"}, {"A", 2, "22", "500"}, {"A", 3, "21", "499.9"},
                  {"A", 4, "23", "520"}, {"A", 5, "19", "505"}, {"A", 6, "21", "515"},
                  {"B", 1, "24", "530"}, {"B", 2, "22", ""},    {"B", 3, "23", "510"},
                  {"B", 4, "25", "520"}, {"B", 6, "21", "501"}};
    for (const auto& s : sheets) ASSERT_NO_FATAL_FAILURE(store(s.serial, kGrade, s.k, s.tr, s.vt));
    ASSERT_NO_FATAL_FAILURE(store("C", QStringLiteral("KDB-460VF"), 1, "90", "100"));
    // The window starts from channel 1's rise-time limit.
    console->state().field(Field::RiseTimeLimit, 0) = QStringLiteral("24");

    StatisticsWindow* w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(in<QLineEdit>(w, "riseTimeLimit")->text(), QStringLiteral("24"));
    // The grade list holds the grades of the list table and of the stored batches.
    EXPECT_GE(in<QComboBox>(w, "spec")->findText(kGrade), 0);
    query(w, kGrade, kDay, kDay);
    EXPECT_TRUE(prompter.shown.empty()) << prompter.messages().join('|').toStdString();

    // A3 (TV below VF) and B4 (Tr 25 over 24) fail; B2 is not judged.
    EXPECT_EQ(in<QLabel>(w, "failShare")->text(), QStringLiteral("不合格：2/10片（20.0%）    未判定：1片"));
    EXPECT_EQ(in<QLabel>(w, "counts")->text(), QStringLiteral("批数：2    片数：11"));
    // Tr before and after boiling: position 1 A 20 -> 23, B 24 -> 25; position 2 only A, 22 -> 19;
    // position 3 A 21 -> 21, B 23 -> 21.
    QTableWidget* boiling = in<QTableWidget>(w, "boiling");
    const char* rows[3][4] = {
        {"22.00", "24.00", "2.00", "2"}, {"22.00", "19.00", "-3.00", "1"}, {"22.00", "21.00", "-1.00", "2"}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(boiling->item(r, c)->text(), QString::fromLatin1(rows[r][c])) << r << "," << c;

    // Without the limit only A3 fails.
    in<QLineEdit>(w, "riseTimeLimit")->setText(QString());
    QTest::mouseClick(in<QPushButton>(w, "query"), Qt::LeftButton);
    EXPECT_EQ(in<QLabel>(w, "failShare")->text(), QStringLiteral("不合格：1/10片（10.0%）    未判定：1片"));

    // Days without batches: said, and the figures cleared.
    query(w, kGrade, kDay.addDays(1), kDay.addDays(3));
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("没有符合条件的查询结果！")});
    EXPECT_EQ(in<QLabel>(w, "failShare")->text(), QString());
    EXPECT_EQ(boiling->item(0, 0)->text(), QString());
    EXPECT_TRUE(w->chart(StatisticsWindow::TrMeans).isNull());

    // A second 批次统计 brings the same window forward.
    EXPECT_EQ(open(), w);
    EXPECT_EQ(window->findChildren<StatisticsWindow*>().size(), 1);
}

TEST_P(StatisticsWindowTest, ChartsMarkThePointsBeyondTheirLimits) {
    // Four batches of six sheets: Tr means 21, 23, 22, 26 with ranges 4, 4, 6, 2, so X̿ = 23 and the
    // mean limits are 21.068 .. 24.932: the first batch lies below, the last above.
    const double tr[4][6] = {{20, 22, 21, 23, 19, 21},
                             {24, 22, 23, 25, 21, 23},
                             {19, 25, 22, 22, 22, 22},
                             {25, 27, 26, 26, 26, 26}};
    const char* serials[] = {"P1", "P2", "P3", "P4"};
    for (int b = 0; b < 4; ++b)
        for (int k = 1; k <= 6; ++k)
            ASSERT_NO_FATAL_FAILURE(
                store(serials[b], kGrade, k, QByteArray::number(tr[b][k - 1]).constData(), "520"));
    StatisticsWindow* w = open();
    ASSERT_NE(w, nullptr);
    query(w, kGrade, kDay, kDay);
    EXPECT_TRUE(prompter.shown.empty()) << prompter.messages().join('|').toStdString();

    const QImage& means = w->chart(StatisticsWindow::TrMeans);
    ASSERT_FALSE(means.isNull());
    const ChartScale s = chartScale(w->statistics().tr, ChartKind::Means, 4, means.size());
    const double mean[] = {21, 23, 22, 26};
    const bool marked[] = {true, false, false, true};
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(near(means, s, b, mean[b], kChartOut) > 0, marked[b]) << b;
        if (!marked[b]) {
            EXPECT_GT(near(means, s, b, mean[b], kChartLine), 0) << b;
        }
    }
    // The limit lines run at 24.932 and 21.068, the centre line at 23.
    for (const auto& [value, colour] :
         {std::pair{24.932, kChartLimit}, std::pair{21.068, kChartLimit}, std::pair{23.0, kChartCentre}}) {
        const int y = int(s.at(0, value).y() + 0.5);
        int found = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int x = s.area.left() + 2; x < s.area.right() - 2; ++x)
                found += means.pixelColor(x, y + dy) == colour;
        EXPECT_GT(found, s.area.width() / 4) << value;
    }
    // No range is out: the range chart has no marks.
    const QImage& ranges = w->chart(StatisticsWindow::TrRanges);
    int marks = 0;
    for (int y = 0; y < ranges.height(); ++y)
        for (int x = 0; x < ranges.width(); ++x) marks += ranges.pixelColor(x, y) == kChartOut;
    EXPECT_EQ(marks, 0);
    // What the window shows is these images.
    const QImage shown = w->chartView()->grab().toImage();
    EXPECT_EQ(shown.copy(QRect(QPoint(0, 0), means.size())).convertToFormat(QImage::Format_RGB32),
              means.convertToFormat(QImage::Format_RGB32));
}

INSTANTIATE_TEST_SUITE_P(Engines, StatisticsWindowTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) {
                             return std::string(info.param == Engine::SQLite ? "SQLiteOdbc" : "PostgreSQL");
                         });

}  // namespace
