// The history window through its own widgets: opened from the console window, its lists and
// value fields, the query with its count and messages, and deleting one record or a run of them.
#include "history/history_window.h"
#include "console/console.h"
#include "console/console_window.h"
#include "history/modify_window.h"
#include "stored_tests.h"
#include "support/csv_reader.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <memory>

using namespace varnot;
using namespace varnot::testing;

namespace {

const QString kNoResult = QStringLiteral("没有符合条件的查询结果！");
const QString kNoSelection = QStringLiteral("操作错误！您还没有选中任何一条记录！");
const QString kDeleted = QStringLiteral("删除完毕！");

class HistoryWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"dbpath", dir.filePath("db"));
        console =
            std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
        console->load();
        window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window.reset(); }

    LocalRecords databases() const { return console->testDatabases(); }
    QString field(Field f, int ch) const { return console->state().field(f, ch); }

    // Opens the history window as the operator does, from the toolbar.
    HistoryWindow* open() {
        QAction* key = window->findChild<QAction*>(QStringLiteral("query2"));
        EXPECT_TRUE(key && key->isEnabled());
        if (!key) return nullptr;
        QTest::mouseClick(window->findChild<QToolBar*>()->widgetForAction(key), Qt::LeftButton);
        HistoryWindow* h = window->historyWindow();
        EXPECT_NE(h, nullptr);
        if (h) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(h));
        }
        return h;
    }
    template <typename T>
    T* in(HistoryWindow* h, const char* name) {
        T* w = h->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Chooses an item of a list as the operator does, with the keyboard.
    void choose(HistoryWindow* h, const char* combo, const QString& item) {
        QComboBox* box = in<QComboBox>(h, combo);
        const int target = box->findText(item);
        ASSERT_GE(target, 0) << item.toStdString();
        box->setFocus();
        while (box->currentIndex() != target)
            QTest::keyClick(box, box->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }
    void type(HistoryWindow* h, const char* field, const QString& text) {
        QLineEdit* edit = in<QLineEdit>(h, field);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    void press(HistoryWindow* h, const char* button) {
        QTest::mouseClick(in<QPushButton>(h, button), Qt::LeftButton);
    }
    // Queries TV records by 化成电压 > value.
    void queryAbove(HistoryWindow* h, const QString& value) {
        choose(h, "Combo3", QStringLiteral("TV测试"));
        choose(h, "Combo1", QStringLiteral("化成电压"));
        type(h, "Text1", value);
        press(h, "Command1");
    }
    // Clicks the first cell of a grid row, counted as the grid counts (row 1: the column names).
    void select(HistoryWindow* h, int gridRow) {
        QTableView* grid = in<QTableView>(h, "grid");
        grid->scrollTo(grid->model()->index(gridRow - 1, 0));
        const QRect cell = grid->visualRect(grid->model()->index(gridRow - 1, 0));
        ASSERT_TRUE(cell.isValid()) << gridRow;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        ASSERT_EQ(h->currentGridRow(), gridRow);
    }
    QStringList listed(HistoryWindow* h) {
        QStringList names;
        auto* model = in<QTableView>(h, "grid")->model();
        for (int r = 1; r < model->rowCount() - 1; ++r) names << model->index(r, 0).data().toString();
        return names;
    }
    QStringList stored() { return FileCheck(databases().filePath(TestKind::TV)).names("铝箔TV参数"); }
    bool curveStored(const QString& name) {
        return FileCheck(databases().filePath(TestKind::TV)).tableExists(name);
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
};

TEST_F(HistoryWindowTest, OpensModelessFromQueryAndClosesWhenARunStarts) {
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->windowTitle(), QStringLiteral("历史数据查询"));
    EXPECT_FALSE(h->isModal());
    // The menu entry brings the same window to the front.
    QAction* menu = nullptr;
    for (QAction* a : window->menuBar()->actions())
        if (a->text() == QStringLiteral("查询")) menu = a;
    ASSERT_NE(menu, nullptr);
    menu->trigger();
    EXPECT_EQ(window->historyWindow(), h);

    QPointer<HistoryWindow> watched(h);
    connectInstrument(*console);
    console->toolbarCommand(QStringLiteral("test13"));  // declined at its question: no run
    EXPECT_TRUE(waitFor([&] { return watched.isNull(); }));
    menu->trigger();
    ASSERT_NE(window->historyWindow(), nullptr);
    EXPECT_TRUE(window->historyWindow()->isVisible());
}

TEST_F(HistoryWindowTest, ListsFollowTheKindAndAnOperatorResetsTheValues) {
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    const auto items = [&](const char* combo) {
        QStringList out;
        QComboBox* box = in<QComboBox>(h, combo);
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    };
    EXPECT_EQ(items("Combo3"), QStringList({"TV测试", "漏电流测试", "电解液测试"}));
    EXPECT_EQ(items("Combo4"), QStringList({"1-3通道", "4-6通道", "1-6通道"}));
    EXPECT_EQ(items("Combo1"),
              QStringList({"化成电压", "测试电流", "升压时间", "测试编号", "测试人", "测试日期"}));
    EXPECT_EQ(items("Combo2"), QStringList({">", "<", "介于", "="}));
    EXPECT_EQ(in<QLineEdit>(h, "Text1")->text(), "0");
    EXPECT_EQ(in<QLineEdit>(h, "Text3")->text(), "1");
    EXPECT_EQ(in<QLineEdit>(h, "Text4")->text(), "0");
    EXPECT_EQ(in<QLineEdit>(h, "Text5")->text(), "0");
    EXPECT_FALSE(in<QLineEdit>(h, "Text2")->isEnabled());

    choose(h, "Combo3", QStringLiteral("电解液测试"));
    EXPECT_EQ(items("Combo1"),
              QStringList({"测试电流", "设定电压", "火花电压", "测试编号", "测试人", "测试日期"}));
    choose(h, "Combo3", QStringLiteral("漏电流测试"));
    EXPECT_EQ(items("Combo1"),
              QStringList({"漏电流电压", "漏电流", "测试时间", "测试编号", "测试人", "测试日期"}));

    struct Case {
        const char* op;
        bool secondValue;
    };
    for (const Case& c :
         {Case{"介于", true}, Case{"<", false}, Case{"=", false}, Case{"介于", true}, Case{">", false}}) {
        type(h, "Text1", QStringLiteral("55"));
        type(h, "Text2", QStringLiteral("66"));
        choose(h, "Combo2", QString::fromUtf8(c.op));
        EXPECT_EQ(in<QLineEdit>(h, "Text1")->text(), "0") << c.op;
        EXPECT_EQ(in<QLineEdit>(h, "Text2")->text(), "1000") << c.op;
        EXPECT_EQ(in<QLineEdit>(h, "Text2")->isEnabled(), c.secondValue) << c.op;
    }
}

TEST_F(HistoryWindowTest, QueryShowsTheCountTheStatementAndTheGrid) {
    ASSERT_EQ(databases().save(numberedTests(3)), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("100"));
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(in<QLineEdit>(h, "Text4")->text(), "2");
    EXPECT_EQ(in<QLabel>(h, "Qstr")->text(), QStringLiteral("select * from 铝箔TV参数 where 化成电压>100"));
    EXPECT_EQ(listed(h), QStringList({"T2HL", "T3HL"}));
    EXPECT_EQ(in<QTableView>(h, "grid")->model()->index(0, 1).data().toString(), QStringLiteral("化成电压"));
    EXPECT_TRUE(in<QPushButton>(h, "Command2")->isEnabled());

    // A value the column cannot hold, a column the table lacks, nothing found, a missing file:
    // one message and the count "0", and nothing of the earlier query stays to be deleted,
    // changed or shown under the new statement.
    struct Case {
        const char* kind;
        const char* column;
        const char* value;
        int modelRows;  // what the grid holds afterwards: nothing, or the column names only
    };
    for (const Case& c : {Case{"TV测试", "化成电压", "0 or 1=1", 0}, Case{"电解液测试", "火花电压", "1", 0},
                          Case{"TV测试", "化成电压", "5000", 1}, Case{"漏电流测试", "漏电流", "0", 0}}) {
        queryAbove(h, QStringLiteral("100"));
        ASSERT_EQ(in<QLineEdit>(h, "Text4")->text(), "2");
        prompter.shown.clear();
        choose(h, "Combo3", QString::fromUtf8(c.kind));
        choose(h, "Combo1", QString::fromUtf8(c.column));
        type(h, "Text1", QString::fromUtf8(c.value));
        press(h, "Command1");
        ASSERT_EQ(prompter.shown.size(), 1u) << c.value;
        EXPECT_EQ(prompter.shown[0].text, kNoResult);
        EXPECT_EQ(prompter.shown[0].title, QStringLiteral("信息提示"));
        EXPECT_EQ(in<QLineEdit>(h, "Text4")->text(), "0") << c.value;
        EXPECT_EQ(in<QTableView>(h, "grid")->model()->rowCount(), c.modelRows) << c.value;
        for (const char* button : {"Command2", "Command3", "Command5", "exportCsv"})
            EXPECT_FALSE(in<QPushButton>(h, button)->isEnabled()) << c.value << ' ' << button;
    }
    EXPECT_FALSE(QFileInfo::exists(databases().filePath(TestKind::Leakage)));
}

TEST_F(HistoryWindowTest, DeletesOnlyASelectedRecordWhenConfirmed) {
    ASSERT_EQ(databases().save(numberedTests(3)), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    ASSERT_EQ(listed(h), QStringList({"T1HL", "T2HL", "T3HL"}));

    // No row chosen, the column names, the empty row below the records.
    for (int row : {0, 1, 5}) {
        if (row > 0) select(h, row);
        for (const char* button : {"Command2", "Command9"}) {
            prompter.shown.clear();
            press(h, button);
            ASSERT_EQ(prompter.shown.size(), 1u) << row;
            EXPECT_EQ(prompter.shown[0].text, kNoSelection) << row << button;
        }
    }
    select(h, 3);
    prompter.shown.clear();
    prompter.answers = {false};
    press(h, "Command2");
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("您确定要删除所选记录吗？"));
    EXPECT_EQ(prompter.shown[0].title, QStringLiteral("信息提示"));
    EXPECT_EQ(stored().size(), 3);

    // The console takes its save counter back from the settings store before deleting.
    settings->write(Section::Canshu, u"存储运行标志", QStringLiteral("7"));
    ASSERT_EQ(console->storedCount(), 0);
    prompter.answers = {true};
    press(h, "Command2");
    EXPECT_EQ(prompter.messages(), QStringList({kDeleted}));
    EXPECT_EQ(console->storedCount(), 7);
    EXPECT_EQ(stored(), QStringList({"T1HL", "T3HL"}));
    EXPECT_FALSE(curveStored("T2HL"));
    EXPECT_TRUE(curveStored("T1HL") && curveStored("T3HL"));
    EXPECT_EQ(listed(h), QStringList({"T1HL", "T3HL"}));
    EXPECT_EQ(in<QLineEdit>(h, "Text4")->text(), "2");
    // Nothing stays selected: a second delete asks for a record first.
    prompter.shown.clear();
    prompter.answers = {true};
    press(h, "Command2");
    EXPECT_EQ(prompter.messages(), QStringList({kNoSelection}));
    EXPECT_EQ(stored().size(), 2);
}

TEST_F(HistoryWindowTest, DeletesTheRunNamedBeforeTheFirstIsDeleted) {
    ASSERT_EQ(databases().save(numberedTests(5)), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));

    // Count 3 on the second record: records 2, 3 and 4 go, the count runs down to "0".
    select(h, 3);
    type(h, "Text3", QStringLiteral("3"));
    prompter.answers = {true};
    press(h, "Command9");
    EXPECT_EQ(prompter.shown.front().text, QStringLiteral("您确定要删除 3 条所选记录吗？"));
    EXPECT_EQ(prompter.messages(), QStringList({kDeleted}));
    EXPECT_EQ(stored(), QStringList({"T1HL", "T5HL"}));
    for (const char* gone : {"T2HL", "T3HL", "T4HL"}) EXPECT_FALSE(curveStored(gone)) << gone;
    EXPECT_EQ(in<QLineEdit>(h, "Text3")->text(), "0");
    EXPECT_EQ(listed(h), QStringList({"T1HL", "T5HL"}));
    EXPECT_EQ(in<QLineEdit>(h, "Text4")->text(), "2");

    // A test saved while the question is open is not listed, so a run reaching past the last
    // record listed leaves it alone.
    select(h, 3);
    type(h, "Text3", QStringLiteral("4"));
    prompter.shown.clear();
    prompter.answers = {true};
    prompter.onQuestion = [&](const QString&) {
        ASSERT_EQ(databases().save(tvTest("NEWHL", 900)), QString());
    };
    press(h, "Command9");
    prompter.onQuestion = nullptr;
    EXPECT_EQ(stored(), QStringList({"T1HL", "NEWHL"}));
    EXPECT_TRUE(curveStored("NEWHL"));
    EXPECT_EQ(listed(h), QStringList({"T1HL", "NEWHL"}));
}

TEST_F(HistoryWindowTest, ARunCountThatIsNotAWholeNumberAboveZeroIsRefused) {
    ASSERT_EQ(databases().save(numberedTests(3)), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    select(h, 2);
    for (const char* count : {"1.5", "-1", "0", "abc", "", "1 2", "99999999999"}) {
        type(h, "Text3", QString::fromUtf8(count));
        prompter.shown.clear();
        prompter.answers = {true};
        press(h, "Command9");
        ASSERT_EQ(prompter.shown.size(), 1u) << count;
        EXPECT_EQ(prompter.shown[0].kind, QStringLiteral("message")) << count;
        EXPECT_NE(prompter.shown[0].text, kDeleted);
        EXPECT_EQ(stored().size(), 3) << count;
    }
}

// Tests T1HL.. (rise 10 s, delay 20 s) whose curves hold 300 samples.
std::vector<StoredTest> testsWithCurves(int n) {
    std::vector<StoredTest> tests = numberedTests(n);
    for (StoredTest& t : tests) {
        t.volts.assign(300, 100.0f);
        t.amps.assign(300, 0.1f);
    }
    return tests;
}

TEST_F(HistoryWindowTest, ModifyChangesOnlyTheChosenColumnOfTheSelectedRecord) {
    ASSERT_EQ(databases().save(testsWithCurves(3)), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    FileCheck check(databases().filePath(TestKind::TV));
    const QVariantList before1 = check.row("铝箔TV参数", "T1HL"), before2 = check.row("铝箔TV参数", "T2HL"),
                       before3 = check.row("铝箔TV参数", "T3HL");

    prompter.shown.clear();
    press(h, "Command5");  // nothing selected
    EXPECT_EQ(prompter.messages(), QStringList({kNoSelection}));
    EXPECT_EQ(h->findChild<ModifyWindow*>(), nullptr);

    select(h, 3);
    press(h, "Command5");
    auto* m = h->findChild<ModifyWindow*>();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->isModal());
    EXPECT_EQ(m->windowTitle(), QStringLiteral("记录修改"));
    QComboBox* columns = m->findChild<QComboBox*>(QStringLiteral("Combo1"));
    QLineEdit* value = m->findChild<QLineEdit*>(QStringLiteral("Text1"));
    QPushButton* write = m->findChild<QPushButton*>(QStringLiteral("Command1"));
    ASSERT_TRUE(columns && value && write);
    EXPECT_EQ(columns->count(), 14);
    EXPECT_EQ(columns->itemText(0), QStringLiteral("化成电压"));

    const auto attempt = [&](const char* column, const char* text) {
        if (*column) columns->setCurrentIndex(columns->findText(QString::fromUtf8(column)));
        value->setText(QString::fromUtf8(text));
        prompter.shown.clear();
        QTest::mouseClick(write, Qt::LeftButton);
        return prompter.messages();
    };
    EXPECT_EQ(attempt("", "75"), QStringList({"您还未选择修改项目！"}));
    EXPECT_EQ(attempt("升压时间", ""), QStringList({"您还未输入修改后的值！"}));
    const QString failed = QStringLiteral("操作错误！请检查以后重新执行该操作！");
    EXPECT_EQ(attempt("化成电压", "abc"), QStringList({failed}));
    EXPECT_EQ(attempt("测试日期", "yesterday"), QStringList({failed}));
    EXPECT_EQ(check.row("铝箔TV参数", "T2HL"), before2);
    // The window names the record it changes.
    EXPECT_EQ(m->findChild<QLabel*>(QStringLiteral("record"))->text(), QStringLiteral("修改的记录：T2HL"));

    // A value outside what the column means is refused with the range, naming the record: the
    // parameters keep their entry ranges, the times the curve of 300 samples (delay 20 s, rise
    // 10 s), the judgement its three texts.
    struct Refused {
        const char* column;
        const char* text;
        const char* message;
    };
    for (const Refused& r : {
             Refused{"化成电压", "0", "记录 T2HL 未修改：化成电压的范围是1～1000，请重新输入！"},
             Refused{"化成电压", "-5", "记录 T2HL 未修改：化成电压的范围是1～1000，请重新输入！"},
             Refused{"测试电流", "16", "记录 T2HL 未修改：测试电流的范围是0.2～15，请重新输入！"},
             Refused{"升压时间指标", "0", "记录 T2HL 未修改：升压时间指标的范围是0.5～9000，请重新输入！"},
             Refused{"升压时间", "281", "记录 T2HL 未修改：升压时间的范围是0～280，请重新输入！"},
             Refused{"延迟时间", "291", "记录 T2HL 未修改：延迟时间的范围是1～290，请重新输入！"},
             Refused{"延迟时间", "0", "记录 T2HL 未修改：延迟时间的范围是1～290，请重新输入！"},
             Refused{"TV特性", "好", "记录 T2HL 未修改：TV特性只能是“合格”、“不合格”或“待定”"},
         }) {
        EXPECT_EQ(attempt(r.column, r.text), QStringList({QString::fromUtf8(r.message)})) << r.column << r.text;
        EXPECT_EQ(check.row("铝箔TV参数", "T2HL"), before2) << r.column << r.text;
    }
    // The ends of each range are taken.
    for (const auto& [column, text] : {std::pair{"化成电压", "1000"}, std::pair{"升压时间", "280"},
                                       std::pair{"TV特性", "不合格"}, std::pair{"化成电压", "200"},
                                       std::pair{"升压时间", "10"}, std::pair{"TV特性", "合格"}})
        EXPECT_EQ(attempt(column, text), QStringList({"修改完毕！重新点击查询可以看到修改结果"})) << column;
    EXPECT_EQ(check.row("铝箔TV参数", "T2HL"), before2);

    EXPECT_EQ(attempt("升压时间", "75"), QStringList({"修改完毕！重新点击查询可以看到修改结果"}));
    QVariantList expected = before2;
    expected[5] = 75.0;  // 升压时间, sixth column as saved
    EXPECT_EQ(check.row("铝箔TV参数", "T2HL"), expected);
    EXPECT_EQ(check.row("铝箔TV参数", "T1HL"), before1);
    EXPECT_EQ(check.row("铝箔TV参数", "T3HL"), before3);
    EXPECT_TRUE(check.tableExists("T2HL"));
    // The grid shows the change with the next query.
    EXPECT_EQ(in<QTableView>(h, "grid")->model()->index(2, 5).data().toString(), QStringLiteral("10"));
    QTest::mouseClick(m->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    press(h, "Command1");
    EXPECT_EQ(in<QTableView>(h, "grid")->model()->index(2, 5).data().toString(), QStringLiteral("75"));
}

TEST_F(HistoryWindowTest, ModifyTakesItsColumnsFromChannel1sKind) {
    ASSERT_EQ(databases().save(numberedTests(2)), QString());
    console->selectKind(0, TestKind::Leakage);
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    select(h, 2);
    press(h, "Command5");
    auto* m = h->findChild<ModifyWindow*>();
    ASSERT_NE(m, nullptr);
    QComboBox* columns = m->findChild<QComboBox*>(QStringLiteral("Combo1"));
    ASSERT_NE(columns, nullptr);
    EXPECT_EQ(columns->itemText(0), QStringLiteral("漏电流电压"));
    FileCheck check(databases().filePath(TestKind::TV));
    const QVariantList before = check.row("铝箔TV参数", "T1HL");
    columns->setCurrentIndex(columns->findText(QStringLiteral("测试人")));
    m->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("B07"));
    prompter.shown.clear();
    QTest::mouseClick(m->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_EQ(prompter.messages(), QStringList({"操作错误！请检查以后重新执行该操作！"}));
    EXPECT_EQ(check.row("铝箔TV参数", "T1HL"), before);
}

// A TV test of rise time 90 s and delay 180 s (270 samples drawn) whose curve holds `samples`.
StoredTest longTvTest(const QString& name, int samples) {
    StoredTest t = tvTest(name, 500, 90);
    t.values[QStringLiteral("延迟时间")] = 180;
    t.values[QStringLiteral("采样次数")] = 200;
    t.values[QStringLiteral("Vmax")] = 480.5;
    t.volts.clear();
    t.amps.clear();
    for (int k = 1; k <= samples; ++k) {
        t.volts.push_back(std::min(2.0f * float(k), 480.5f));
        t.amps.push_back(0.5f);
    }
    return t;
}

TEST_F(HistoryWindowTest, DisplayPutsTheRecordIntoTheNextSlotOfTheGroup) {
    ASSERT_EQ(databases().save({longTvTest("L1HL", 300), longTvTest("L2HM", 270)}), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    ASSERT_TRUE(in<QPushButton>(h, "Command3")->isEnabled());

    struct Case {
        const char* group;
        const char* next;  // typed into the next-slot field, or "" to keep it
        int gridRow;
        int slot;
        const char* nextAfter;
    };
    const Case cases[] = {{"1-3通道", "2", 2, 2, "3"},
                          {"1-3通道", "", 3, 0, "1"},
                          {"4-6通道", "0", 2, 3, "4"},
                          {"1-6通道", "5", 3, 5, "0"}};
    for (const Case& c : cases) {
        choose(h, "Combo4", QString::fromUtf8(c.group));
        if (*c.next) type(h, "Text5", QString::fromUtf8(c.next));
        select(h, c.gridRow);
        const QImage before = console->plots().TV[c.slot]->image();
        prompter.shown.clear();
        press(h, "Command3");
        EXPECT_TRUE(prompter.shown.empty()) << c.slot;
        const QString name = c.gridRow == 2 ? QStringLiteral("L1HL") : QStringLiteral("L2HM");
        EXPECT_EQ(field(Field::TvTestNumber, c.slot), name) << c.slot;
        EXPECT_EQ(in<QLineEdit>(h, "Text5")->text(), QString::fromUtf8(c.nextAfter)) << c.slot;
        EXPECT_EQ(console->state().kind[c.slot], TestKind::TV);
        EXPECT_EQ(field(Field::FormationVoltage, c.slot), "500");
        EXPECT_EQ(field(Field::RiseTime, c.slot), "90");
        EXPECT_EQ(field(Field::DelayTime, c.slot), "180");
        EXPECT_EQ(field(Field::TvTestDate, c.slot), "2009/06/01");
        EXPECT_EQ(field(Field::ReadoutTA, c.slot), "90");
        EXPECT_EQ(field(Field::ReadoutTB, c.slot), "200");
        EXPECT_EQ(field(Field::ReadoutVm, c.slot), "480.5");
        EXPECT_EQ(field(Field::ReadoutVT, c.slot), "480.5");  // sample 270
        EXPECT_EQ(console->plots().hxfd[c.slot], 1.0f);
        EXPECT_EQ(console->plots().drawnTo[c.slot], 270);
        EXPECT_EQ(console->curves().V[c.slot][45], 90.0f);
        EXPECT_EQ(console->state().statusPanels[c.slot],
                  QString::number(c.slot + 1) + QStringLiteral("路C点270s-480.5V"));
        EXPECT_NE(console->plots().TV[c.slot]->image(), before);
    }
}

TEST_F(HistoryWindowTest, AStoredParameterItsFieldWouldRefuseTypedIsNotShownAndSaysWhy) {
    // Written by another program (or an older console): a formation voltage of 5200 V.
    StoredTest odd = longTvTest("X1HL", 300);
    odd.values[QStringLiteral("化成电压")] = 5200;
    odd.values[QStringLiteral("升压时间指标")] = 12.5;
    ASSERT_EQ(databases().save({odd}), QString());
    console->state().field(Field::FormationVoltage, 0) = QStringLiteral("250");
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    choose(h, "Combo4", QStringLiteral("1-3通道"));
    type(h, "Text5", QStringLiteral("0"));
    select(h, 2);
    prompter.shown.clear();
    press(h, "Command3");
    // The rest of the record shows; the refused field keeps what it held, and the operator is told.
    EXPECT_EQ(field(Field::TvTestNumber, 0), u"X1HL");
    EXPECT_EQ(field(Field::RiseTimeLimit, 0), u"12.5");
    EXPECT_EQ(field(Field::FormationVoltage, 0), u"250");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("化成电压1的存储值“5200”未采用：范围是1～1000V")});
    EXPECT_EQ(console->plots().drawnTo[0], 270);  // the curve as far as the record's own columns say
}

TEST_F(HistoryWindowTest, DisplaySetsTheGroupsBoilingSwitchAndKeepsTheRecordsDelay) {
    StoredTest after = longTvTest("B1HL", 300);
    after.values[QStringLiteral("水煮前")] = false;
    after.values[QStringLiteral("水煮后")] = true;
    StoredTest neither = longTvTest("B2HL", 300);
    neither.values.remove(QStringLiteral("水煮前"));
    ASSERT_EQ(databases().save({after, longTvTest("B3HL", 300), neither}), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    // The window's 水煮后 buttons, group 1-3's first.
    QList<QRadioButton*> afterButtons;
    for (QRadioButton* r : window->findChildren<QRadioButton*>())
        if (r->text() == QStringLiteral("水煮后：")) afterButtons << r;
    ASSERT_EQ(afterButtons.size(), 2);

    struct Case {
        const char* group;
        int gridRow;
        int boilingGroup;
        Console::Boiling expected;
    };
    // 4-6通道 from slot 3 on: the second group's switch; a record naming neither leaves it.
    const Case cases[] = {{"1-3通道", 2, 0, Console::Boiling::After},
                          {"4-6通道", 2, 1, Console::Boiling::After},
                          {"4-6通道", 4, 1, Console::Boiling::After},
                          {"4-6通道", 3, 1, Console::Boiling::Before}};
    for (const Case& c : cases) {
        choose(h, "Combo4", QString::fromUtf8(c.group));
        select(h, c.gridRow);
        press(h, "Command3");
        EXPECT_EQ(console->boiling(c.boilingGroup), c.expected) << c.gridRow;
        EXPECT_EQ(afterButtons[c.boilingGroup]->isChecked(), c.expected == Console::Boiling::After) << c.gridRow;
    }
    // After boiling the switch would set 60 s delays; the displayed records keep their 180 s and
    // their span, and the other channels keep theirs.
    EXPECT_EQ(field(Field::DelayTime, 0), "180");
    EXPECT_EQ(console->plots().drawnTo[0], 270);
    EXPECT_EQ(field(Field::DelayTime, 1), "180");
}

TEST_F(HistoryWindowTest, DisplayScalesALeakageRecordOnItsOwnVoltage) {
    StoredTest t;
    t.kind = TestKind::Leakage;
    t.recordName = QStringLiteral("K1HL");
    t.values = {{QStringLiteral("漏电流电压"), 350},
                {QStringLiteral("测试时间"), 20},
                {QStringLiteral("漏电流"), 0.25}};
    for (int k = 1; k <= 20; ++k) {
        t.volts.push_back(17.5f * float(k));
        t.amps.push_back(0.25f);
    }
    ASSERT_EQ(databases().save(t), QString());
    const QString formationVoltage = field(Field::FormationVoltage, 0);
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    choose(h, "Combo3", QStringLiteral("漏电流测试"));
    choose(h, "Combo1", QStringLiteral("漏电流电压"));
    type(h, "Text1", QStringLiteral("0"));
    press(h, "Command1");
    select(h, 2);
    press(h, "Command3");
    EXPECT_EQ(console->state().kind[0], TestKind::Leakage);
    EXPECT_EQ(field(Field::LeakageVoltage, 0), "350");
    EXPECT_EQ(field(Field::FormationVoltage, 0), formationVoltage);
    EXPECT_EQ(console->plots().hxfd[0], 0.125f);
    EXPECT_EQ(field(Field::ReadoutVT, 0), "0.25");
    EXPECT_EQ(console->state().statusPanels[0], QStringLiteral("1路C点20s-0.25mA"));
}

TEST_F(HistoryWindowTest, TheVmaxOfADisplayedRecordIsThatRecordsOwn) {
    // Slot 0 first shows a TV record (Vmax 480.5); each record after it brings its own peak.
    StoredTest leakage;
    leakage.kind = TestKind::Leakage;
    leakage.recordName = QStringLiteral("K1HL");
    leakage.values = {{QStringLiteral("漏电流电压"), 350}, {QStringLiteral("测试时间"), 20}};
    StoredTest electrolyte;
    electrolyte.kind = TestKind::Electrolyte;
    electrolyte.recordName = QStringLiteral("E1HL");
    electrolyte.values = {{QStringLiteral("设定电压"), 400},  {QStringLiteral("闪火延时"), 12},
                          {QStringLiteral("火花时间1"), 8},   {QStringLiteral("最大电压"), 377.7},
                          {QStringLiteral("火花电压1"), 370}, {QStringLiteral("判定结果"), QStringLiteral("合格")}};
    for (int k = 1; k <= 20; ++k) {
        leakage.volts.push_back(k == 7 ? 351.2f : 17.5f * float(k));
        leakage.amps.push_back(0.25f);
        electrolyte.volts.push_back(18.0f * float(k));
        electrolyte.amps.push_back(2.0f);
    }
    ASSERT_EQ(databases().save({longTvTest("V1HL", 300)}), QString());
    ASSERT_EQ(databases().save(leakage), QString());
    ASSERT_EQ(databases().save(electrolyte), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    struct Case {
        const char* kind;
        const char* column;
        const char* vmax;
    };
    for (const Case& c : {Case{"TV测试", "化成电压", "480.5"}, Case{"漏电流测试", "漏电流电压", "351.2"},
                          Case{"TV测试", "化成电压", "480.5"}, Case{"电解液测试", "设定电压", "377.7"}}) {
        choose(h, "Combo3", QString::fromUtf8(c.kind));
        choose(h, "Combo1", QString::fromUtf8(c.column));
        type(h, "Text1", QStringLiteral("0"));
        press(h, "Command1");
        type(h, "Text5", QStringLiteral("0"));
        select(h, 2);
        prompter.shown.clear();
        press(h, "Command3");
        ASSERT_TRUE(prompter.shown.empty()) << c.kind;
        EXPECT_EQ(field(Field::ReadoutVm, 0), QString::fromUtf8(c.vmax)) << c.kind;
    }
}

TEST_F(HistoryWindowTest, ADeleteSaysDoneOnlyForTheRecordsItDeletedAndNamesTheRest) {
    ASSERT_EQ(databases().save(numberedTests(5)), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));

    // Another program is writing the file: nothing goes, every record of the run is named with
    // the database's reason, and the wait for the lock is spent once, not per record.
    {
        FileCheck other(databases().filePath(TestKind::TV));
        ASSERT_TRUE(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
        select(h, 3);
        type(h, "Text3", QStringLiteral("3"));
        prompter.shown.clear();
        prompter.answers = {true};
        press(h, "Command9");
        const QStringList messages = prompter.messages();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0], QStringLiteral("以下记录未能删除：T2HL、T3HL、T4HL\n原因：database is locked"));
        ASSERT_TRUE(other.exec(QStringLiteral("ROLLBACK")));
    }
    EXPECT_EQ(stored(), QStringList({"T1HL", "T2HL", "T3HL", "T4HL", "T5HL"}));
    EXPECT_EQ(listed(h), QStringList({"T1HL", "T2HL", "T3HL", "T4HL", "T5HL"}));
    EXPECT_TRUE(curveStored("T3HL"));
    EXPECT_EQ(console->storedCount(), 0);

    // A record deleted elsewhere meanwhile is named; the others go and are counted.
    select(h, 3);
    type(h, "Text3", QStringLiteral("3"));
    prompter.shown.clear();
    prompter.answers = {true};
    prompter.onQuestion = [&](const QString&) {
        ASSERT_TRUE(FileCheck(databases().filePath(TestKind::TV))
                        .exec(QStringLiteral("DELETE FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'T3HL'")));
    };
    press(h, "Command9");
    prompter.onQuestion = nullptr;
    EXPECT_EQ(prompter.messages(),
              QStringList({QStringLiteral("已删除 2 条记录。\n以下记录未能删除：T3HL\n原因：记录已不存在")}));
    EXPECT_EQ(stored(), QStringList({"T1HL", "T5HL"}));
    EXPECT_EQ(listed(h), QStringList({"T1HL", "T5HL"}));

    // All deleted: the one message of a whole delete.
    select(h, 3);
    prompter.shown.clear();
    prompter.answers = {true};
    press(h, "Command2");
    EXPECT_EQ(prompter.messages(), QStringList({kDeleted}));
    EXPECT_EQ(stored(), QStringList({"T1HL"}));
}

TEST_F(HistoryWindowTest, AtVolumeTheHeaderStaysTheNewestAreOneClickAwayAndADeleteKeepsThePlace) {
    // More tests than one page of the grid, each a day newer than the one before.
    std::vector<StoredTest> tests;
    for (int i = 1; i <= 400; ++i)
        tests.push_back(tvTest(QStringLiteral("N%1HL").arg(i, 3, 10, QLatin1Char('0')), 100 + i, 10,
                               QStringLiteral("A01"), QDate(2009, 1, 1).addDays(i)));
    ASSERT_EQ(databases().save(tests), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    h->resize(1000, 600);
    queryAbove(h, QStringLiteral("0"));
    QTableView* grid = in<QTableView>(h, "grid");
    QHeaderView* header = grid->horizontalHeader();
    ASSERT_TRUE(header->isVisible());
    const auto column = [&](const QString& name) {
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            if (grid->model()->headerData(c, Qt::Horizontal).toString() == name) return c;
        return -1;
    };
    const int date = column(QStringLiteral("测试日期")), number = column(QStringLiteral("测试编号"));
    ASSERT_GE(date, 0);
    ASSERT_GE(number, 0);
    const auto firstListed = [&] { return grid->model()->index(1, number).data().toString(); };
    const auto clickHeader = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                                 header->height() / 2));
    };
    // The header holds the column names wherever the grid is scrolled.
    grid->scrollTo(grid->model()->index(200, 0), QAbstractItemView::PositionAtTop);
    EXPECT_GT(grid->rowAt(0), 100);
    EXPECT_EQ(header->model()->headerData(number, Qt::Horizontal).toString(), QStringLiteral("测试编号"));

    struct Case {
        int section;
        const char* first;
    };
    for (const Case& c : {Case{date, "N400HL"}, Case{date, "N001HL"}, Case{number, "N400HL"},
                          Case{number, "N001HL"}}) {
        clickHeader(c.section);
        EXPECT_EQ(firstListed(), QString::fromUtf8(c.first)) << c.section;
        EXPECT_EQ(in<QLineEdit>(h, "Text4")->text(), "400");
    }
    // Newest first again; the last record of the order is the oldest, past the first page.
    clickHeader(number);
    ASSERT_EQ(firstListed(), QStringLiteral("N400HL"));
    while (h->grid().canFetchMore()) h->grid().fetchMore();
    EXPECT_EQ(grid->model()->index(400, number).data().toString(), QStringLiteral("N001HL"));

    // A delete far down keeps the view where it stood, the next record in the deleted one's row.
    grid->scrollTo(grid->model()->index(150, 0), QAbstractItemView::PositionAtTop);
    const int top = grid->rowAt(0);
    ASSERT_GT(top, 100);
    select(h, top + 3);
    const QString next = grid->model()->index(top + 3, number).data().toString();
    prompter.shown.clear();
    prompter.answers = {true};
    press(h, "Command2");
    EXPECT_EQ(prompter.messages(), QStringList({kDeleted}));
    EXPECT_EQ(grid->rowAt(0), top);
    EXPECT_EQ(grid->model()->index(top + 2, number).data().toString(), next);
    EXPECT_EQ(firstListed(), QStringLiteral("N400HL"));  // still newest first
}

TEST_F(HistoryWindowTest, ARecordThatCannotBeShownIsNamedAndTheConsoleGoesOn) {
    ASSERT_EQ(databases().save({longTvTest("S1HL", 100), longTvTest("S2HL", 300)}), QString());
    FileCheck(databases().filePath(TestKind::TV)).exec("DROP TABLE \"S2HL\"");
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    console->selectKind(0, TestKind::Leakage);
    const QString numberBefore = field(Field::TvTestNumber, 0);
    for (int row : {2, 3}) {
        select(h, row);
        prompter.shown.clear();
        press(h, "Command3");
        ASSERT_EQ(prompter.shown.size(), 1u) << row;
        EXPECT_TRUE(prompter.shown[0].text.contains(row == 2 ? "S1HL" : "S2HL"))
            << prompter.shown[0].text.toStdString();
        EXPECT_EQ(field(Field::TvTestNumber, 0), numberBefore);
        EXPECT_EQ(console->state().kind[0], TestKind::Leakage);
        EXPECT_EQ(in<QLineEdit>(h, "Text5")->text(), "0");
    }
}

}  // namespace

TEST_F(HistoryWindowTest, ExportWritesTheGridAsShownWithEveryRecordFound) {
    // More records than one page of the grid, and a tester whose name needs quoting.
    std::vector<StoredTest> tests = numberedTests(RecordGridModel::kPage + 4);
    tests.push_back(tvTest(QStringLiteral("Q,1\"HL\""), 950, 12.5, QStringLiteral("王\"五\",\n二")));
    ASSERT_EQ(databases().save(tests), QString());
    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(in<QPushButton>(h, "exportCsv")->isEnabled());  // nothing listed yet
    queryAbove(h, QStringLiteral("150"));
    auto* model = in<QTableView>(h, "grid")->model();
    ASSERT_LT(model->rowCount(), int(tests.size()));  // only the first page read so far

    prompter.fileNames = {dir.filePath("grid.csv")};
    press(h, "exportCsv");
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("TV测试.csv"));
    const auto read = readCsvFile(dir.filePath("grid.csv"));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->bom);
    EXPECT_TRUE(read->fault.isEmpty()) << read->fault.toStdString();
    // The column names, then every record above 150 V (all but T1), as the grid shows them.
    ASSERT_EQ(read->rows.size(), 1 + tests.size() - 1);
    ASSERT_EQ(model->rowCount(), int(read->rows.size()) + 1);
    for (int r = 0; r < int(read->rows.size()); ++r) {
        QStringList shown;
        for (int c = 0; c < model->columnCount(); ++c) shown << model->index(r, c).data().toString();
        ASSERT_EQ(read->rows[std::size_t(r)], shown) << r;
    }
    const QStringList& names = read->rows.front();
    const QStringList& last = read->rows.back();
    ASSERT_EQ(last.size(), names.size());
    const auto cell = [&](const QStringList& row, const char* column) {
        return row.value(names.indexOf(QString::fromUtf8(column)));
    };
    EXPECT_EQ(cell(read->rows[1], "测试编号"), "T2HL");
    EXPECT_EQ(cell(last, "测试编号"), "Q,1\"HL\"");
    EXPECT_EQ(cell(last, "测试人"), "王\"五\",\n二");
    EXPECT_EQ(cell(last, "化成电压"), "950");
    EXPECT_EQ(cell(last, "升压时间"), "12.5");
    EXPECT_EQ(cell(last, "测试日期"), "2009/06/01");

    // A cancelled dialog writes nothing.
    prompter.shown.clear();
    press(h, "exportCsv");
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.messages().isEmpty());
}

// Through the real windows: 显示记录 over a measured test not stored yet asks first (No keeps it
// whole), and the record it shows is never saved nor asked about when the console closes.
TEST_F(HistoryWindowTest, ADisplayOverAnUnsavedTestAsksFirstAndIsNeverSaved) {
    ASSERT_EQ(databases().save({longTvTest("L1HL", 300)}), QString());
    // Channel 1 holds a test that ended at sample 5 and is not stored.
    console->state().field(Field::TvTestNumber, 0) = QStringLiteral("M1");
    console->state().field(Field::TvOperator, 0) = QStringLiteral("Li");
    for (int k = 1; k <= 5; ++k) console->curves().V[0][std::size_t(k)] = 10.0f * float(k);
    console->curves().stored[0] = 5;
    console->view().endSample[0] = 5;
    console->state().chEnded[0] = true;
    console->concludeTest(0);
    ASSERT_TRUE(console->unsavedTest());

    HistoryWindow* h = open();
    ASSERT_NE(h, nullptr);
    queryAbove(h, QStringLiteral("0"));
    choose(h, "Combo4", QStringLiteral("1-3通道"));
    type(h, "Text5", QStringLiteral("0"));
    select(h, 2);
    prompter.shown.clear();
    prompter.answers = {false};
    press(h, "Command3");
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.shown[0].text.startsWith(QStringLiteral("测试数据尚未保存，确定要放弃吗？")))
        << prompter.shown[0].text.toStdString();
    EXPECT_EQ(field(Field::TvTestNumber, 0), u"M1");
    EXPECT_EQ(console->test(0).state, TestState::Ended);
    EXPECT_EQ(console->curves().stored[0], 5);

    prompter.shown.clear();
    prompter.answers = {true};
    press(h, "Command3");
    EXPECT_EQ(field(Field::TvTestNumber, 0), u"L1HL");
    EXPECT_EQ(console->test(0).state, TestState::ShownLocal);
    h->close();

    // 保存 from the toolbar stores nothing of the record; closing asks nothing.
    prompter.shown.clear();
    QAction* save = window->findChild<QAction*>(QStringLiteral("save2"));
    ASSERT_NE(save, nullptr);
    QTest::mouseClick(window->findChild<QToolBar*>()->widgetForAction(save), Qt::LeftButton);
    EXPECT_EQ(prompter.messages(), QStringList{"没有需要保存的测试数据！"});
    EXPECT_EQ(stored(), QStringList{"L1HL"});
    prompter.shown.clear();
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(prompter.shown.empty()) << prompter.shown.front().text.toStdString();
}
