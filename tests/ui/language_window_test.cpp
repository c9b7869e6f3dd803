// The console in English and in Chinese, through its real windows: every text the windows show
// (menus, buttons, labels, group and tab titles, tooltips, headers, selection lists) and the
// messages of its message boxes.
#include "batch/batch_tab.h"
#include "calibration/calibration_window.h"
#include "console/console.h"
#include "console/console_window.h"
#include "console/help_window.h"
#include "console/qt_prompter.h"
#include "history/history_window.h"
#include "history/modify_window.h"
#include "history/record_grid.h"
#include "settings/field_catalogue.h"
#include "sim/instrument.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "ui_text/ui_text.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace varnot;
using varnot::testing::waitFor;

namespace {

// Every text a window shows of its own, each with where it was found. Values the operator typed or
// stored (field contents, listed serials, the records of the history grid and the statement of a
// query over them) and the operator's guide (a document of its own) are not collected.
QStringList textsOf(QWidget* window) {
    QStringList out;
    const auto add = [&out](const QObject* where, const QString& what, const QString& text) {
        if (!text.isEmpty())
            out << where->metaObject()->className() + QStringLiteral(" ") + where->objectName() + u' ' +
                       what + QStringLiteral(": ") + text;
    };
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        // The statement of the last query (shown above the history grid and as its tooltip).
        if (w->objectName() == u"Qstr" || w->objectName() == u"grid") continue;
        if (w->isWindow()) add(w, "title", w->windowTitle());
        add(w, "tooltip", w->toolTip());
        for (const QAction* a : w->actions()) {
            add(a, "action", a->text());
            add(a, "action tooltip", a->toolTip());
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w)) add(w, "text", b->text());
        if (auto* l = qobject_cast<QLabel*>(w)) add(w, "text", l->text());
        if (auto* g = qobject_cast<QGroupBox*>(w)) add(w, "title", g->title());
        if (auto* m = qobject_cast<QMenu*>(w)) add(w, "menu", m->title());
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) add(w, "tab", t->tabText(i));
        if (auto* c = qobject_cast<QComboBox*>(w)) {
            add(w, "placeholder", c->placeholderText());
            for (int i = 0; i < c->count(); ++i) add(w, "entry", c->itemText(i));
        }
        if (auto* e = qobject_cast<QLineEdit*>(w)) add(w, "placeholder", e->placeholderText());
        if (auto* t = qobject_cast<QTableWidget*>(w))
            for (int r = 0; r < t->rowCount(); ++r)
                for (int c = 0; c < t->columnCount(); ++c)
                    if (const QTableWidgetItem* item = t->item(r, c)) add(w, "cell", item->text());
    }
    return out;
}

QStringList chinese(const QStringList& texts) {
    QStringList out;
    for (const QString& t : texts)
        if (hasCjk(t.mid(t.indexOf(QStringLiteral(": ")) + 2))) out << t;
    return out;
}

// The next message box that trigger brings up, answered with OK as soon as it is up: its title and
// text as the operator reads them.
struct Box {
    QString title, text;
    bool seen = false;
};
Box answerNextBox(const std::function<void()>& trigger,
                  QMessageBox::StandardButton answer = QMessageBox::Ok) {
    Box shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&shown, &watch, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shown = {box->windowTitle(), box->text(), true};
        watch.stop();
        if (QAbstractButton* b = box->button(answer))
            b->click();
        else
            box->reject();
    });
    watch.start(10);
    trigger();
    EXPECT_TRUE(waitFor([&shown] { return shown.seen; }));
    return shown;
}

class LanguageWindow : public ::testing::Test {
  protected:
    void open(UiLanguage language) {
        ASSERT_TRUE(setUiLanguage(language));
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"dbpath", dir.path());
        prompter = std::make_unique<QtPrompter>();
        console =
            std::make_unique<Console>(*settings, *prompter, Timing{0.5}, [] { return QDate(2026, 12, 10); });
        console->load();
        window = std::make_unique<ConsoleWindow>(*console);
        prompter->setParent(window.get());
        window->setPrompter(*prompter);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        if (console) console->connection().closeAll();
        setUiLanguage(UiLanguage::Chinese);
    }

    // Each menu of the menu bar opened in turn: its texts as it shows them.
    QStringList menuTexts() {
        QStringList out;
        for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
            menu->popup(window->mapToGlobal(QPoint(10, 10)));
            EXPECT_TRUE(waitFor([menu] { return menu->isVisible(); })) << menu->title().toStdString();
            out << textsOf(menu);
            menu->hide();
        }
        return out;
    }

    // The refused start (no port open), as the operator sees its box.
    Box refusedStart() {
        return answerNextBox([this] { console->toolbarCommand(QStringLiteral("test13")); });
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<QtPrompter> prompter;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
};

TEST_F(LanguageWindow, EnglishLeavesNoChineseTextInAnyWindow) {
    open(UiLanguage::English);
    QStringList texts = textsOf(window.get()) + menuTexts();

    window->openHistory();
    window->openCalibration();
    window->openHelp();
    HistoryWindow* history = window->historyWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window->calibrationWindow()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window->helpWindow()));
    // Every test kind refills the query columns: each list is shown in English.
    auto* kind = history->findChild<QComboBox*>(QStringLiteral("Combo3"));
    for (int k = 0; k < kind->count(); ++k) {
        kind->setCurrentIndex(k);
        texts << textsOf(history);
    }
    texts << textsOf(window->calibrationWindow()) << textsOf(window->helpWindow());

    HistoryDatabase database(dir.path());
    RecordGridModel grid(database);
    ModifyWindow modify(TestKind::TV, grid, std::nullopt, database, *prompter, history);
    modify.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&modify));
    texts << textsOf(&modify);

    // Texts the window sets as the console changes: a status panel, the judgements, the readouts.
    const Box refused = refusedStart();
    console->state().statusPanels[0] = QStringLiteral("第1路开始TV测试");
    console->state().field(Field::TvJudgement, 1) = QStringLiteral("不合格");
    emit console->changed();
    texts << textsOf(window.get());
    const QStringList shownTexts = texts.join(u'\n').split(u'\n');
    EXPECT_TRUE(shownTexts.contains(QStringLiteral("QLabel  text: Channel 1 started: TV test")));
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Text8(1)"))->text(), QStringLiteral("Fail"));
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Text8(0)"))->text(), QStringLiteral("Pending"));

    EXPECT_GT(texts.size(), 300);
    EXPECT_EQ(chinese(texts).join(u'\n').toStdString(), "");
    // Spot checks that the texts are the English ones, not emptied.
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnot-2010062901ERP-1.15 Smart TV Tester"));
    EXPECT_EQ(window->findChild<QTabWidget*>()->tabText(0), QStringLiteral("Channels 1-6"));
    EXPECT_TRUE(texts.join(u'\n').contains(QStringLiteral("menu: &File")));
    EXPECT_EQ(refused.text, QStringLiteral("The communication port is not open!"));
    EXPECT_EQ(refused.title, QStringLiteral("Varnot Smart TV Tester"));
}

// The operator's guide in English names every menu, menu entry and toolbar button as the English
// window shows it, and holds no Chinese.
TEST_F(LanguageWindow, TheGuideIsInEnglishAndNamesEveryCommand) {
    open(UiLanguage::English);
    window->openHelp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window->helpWindow()));
    const QString guide = window->helpWindow()->browser()->toPlainText();
    EXPECT_FALSE(hasCjk(guide));
    const auto plain = [](QString caption) { return caption.remove(u'&'); };
    QStringList missing;
    const std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            if (a->isSeparator()) continue;
            if (!guide.contains(plain(a->text()))) missing << a->text();
            if (a->menu()) walk(a->menu()->actions());
        }
    };
    walk(window->menuBar()->actions());
    walk(window->findChild<QToolBar*>()->actions());
    EXPECT_EQ(missing.join(u", ").toStdString(), "");
}

// A run against the simulated instrument: its question, the status panels and judgements the console
// sets as it goes, and the question at its end, all in English.
TEST_F(LanguageWindow, ARunShowsItsStatusJudgementsAndQuestionsInEnglish) {
    open(UiLanguage::English);
    sim::Config config;
    config.clock = sim::ClockMode::SampleIndex;
    config.link.steadyTemperature = true;
    sim::Instrument instrument(config);
    varnot::testing::connectInstrument(*console);
    console->recordExists = [](int) { return false; };
    const auto panels = [this] {
        QStringList out;
        for (QLabel* l : window->statusBar()->findChildren<QLabel*>()) out << l->text();
        return out.join(u'|');
    };

    const Box start =
        answerNextBox([this] { console->toolbarCommand(QStringLiteral("test13")); }, QMessageBox::Yes);
    EXPECT_EQ(start.text, QStringLiteral("Start the run?"));
    ASSERT_TRUE(console->supervising());
    EXPECT_TRUE(panels().contains(QStringLiteral("Channel 1 started: TV test"))) << panels().toStdString();

    const Box end = answerNextBox([&] { varnot::testing::runToEnd(*console, instrument); }, QMessageBox::No);
    EXPECT_EQ(end.text, QStringLiteral("The test has ended. Save it?"));
    EXPECT_TRUE(panels().contains(QStringLiteral("Channel 1 TV test ended|"))) << panels().toStdString();
    const QString judgement = window->findChild<QLineEdit*>(QStringLiteral("Text8(0)"))->text();
    EXPECT_TRUE(judgement == u"Pass" || judgement == u"Fail") << judgement.toStdString();
    EXPECT_EQ(chinese(textsOf(window.get())).join(u'\n').toStdString(), "");
    EXPECT_FALSE(hasCjk(panels())) << panels().toStdString();
}

TEST_F(LanguageWindow, QueriesReadTheChosenEntriesWhateverTheirLanguage) {
    open(UiLanguage::English);
    window->openHistory();
    HistoryWindow* history = window->historyWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    auto* kind = history->findChild<QComboBox*>(QStringLiteral("Combo3"));
    auto* column = history->findChild<QComboBox*>(QStringLiteral("Combo1"));
    kind->setCurrentIndex(1);  // leakage: its own columns
    EXPECT_EQ(kind->currentText(), QStringLiteral("Leakage current test"));
    EXPECT_EQ(column->itemText(0), QStringLiteral("Leakage voltage"));
    EXPECT_EQ(chosenText(column), QStringLiteral("漏电流电压"));

    // The query names the leakage table and its column as stored, though both are shown in English.
    const Box none =
        answerNextBox([history] { history->findChild<QPushButton*>(QStringLiteral("Command1"))->click(); });
    EXPECT_EQ(none.text, QStringLiteral("No records match the query!"));
    const QString statement = history->findChild<QLabel*>(QStringLiteral("Qstr"))->text();
    EXPECT_TRUE(statement.contains(QStringLiteral("漏电流电压"))) << statement.toStdString();
    EXPECT_FALSE(statement.contains(QStringLiteral("化成电压"))) << statement.toStdString();
}

TEST_F(LanguageWindow, ChineseByDefaultIsUnchanged) {
    open(UiLanguage::Chinese);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnot-2010062901ERP-1.15智能TV仪测试系统"));
    const QStringList menus = menuTexts();
    EXPECT_TRUE(menus.join(u'\n').contains(QStringLiteral("文件(&F)")));
    EXPECT_TRUE(menus.join(u'\n').contains(QStringLiteral("1-6通道时间轴坐标放大")));
    auto* tabs = window->findChild<QTabWidget*>();
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("1-6通道测试图"));
    EXPECT_EQ(tabs->tabText(5), QStringLiteral("批次"));
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Text8(0)"))->text(), QStringLiteral("待定"));
    console->state().statusPanels[0] = QStringLiteral("第1路开始TV测试");
    emit console->changed();
    EXPECT_TRUE(textsOf(window.get()).contains(QStringLiteral("QLabel  text: 第1路开始TV测试")));
    const Box refused = refusedStart();
    EXPECT_EQ(refused.text, QStringLiteral("通信端口未打开！"));
    EXPECT_EQ(refused.title, QStringLiteral("Varnot智能TV仪测试系统"));
}

// English first and then Chinese again in the same program: the second window is all Chinese.
TEST_F(LanguageWindow, SwitchingBackRestoresTheChineseTexts) {
    open(UiLanguage::English);
    window.reset();
    console.reset();
    open(UiLanguage::Chinese);
    EXPECT_EQ(window->findChild<QTabWidget*>()->tabText(3), QStringLiteral("铝箔TV-漏电流参数设置"));
    EXPECT_EQ(uiText(QStringLiteral("合格")), QStringLiteral("合格"));
}

}  // namespace
