// The console window around a running test, through its real widgets: the editors, switches and
// the 新建 commands a run locks, selection boxes under a passing mouse wheel, and a refused date.
#include "console/console_window.h"
#include "support/console_fixture.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace varnot;

namespace {

class EntriesWindow : public varnot::testing::ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        window = std::make_unique<ConsoleWindow>(*console);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    QAction* action(const char* text) const {
        for (QAction* a : window->findChildren<QAction*>())
            if (a->text() == QString::fromUtf8(text)) return a;
        ADD_FAILURE() << "no action " << text;
        return nullptr;
    }
    QWidget* editor(const char* name) const {
        auto* w = window->findChild<QWidget*>(QString::fromLatin1(name));
        if (!w) ADD_FAILURE() << "no editor " << name;
        return w;
    }
    QGroupBox* box(const char* title) const {
        for (QGroupBox* b : window->findChildren<QGroupBox*>())
            if (b->title() == QString::fromUtf8(title)) return b;
        ADD_FAILURE() << "no frame " << title;
        return nullptr;
    }
    bool focus(QWidget* w) {
        QApplication::setActiveWindow(window.get());
        w->setFocus();
        return varnot::testing::waitFor([w] { return w->hasFocus(); });
    }
    static void wheel(QWidget* w, int steps) {
        const QPointF at(w->width() / 2.0, w->height() / 2.0);
        QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120 * steps), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
    }

    std::unique_ptr<ConsoleWindow> window;
};

}  // namespace

TEST_F(EntriesWindow, ARunLocksTheEditorsSwitchesAndNewOfItsChannelsUntilItEnds) {
    struct Expect {
        const char* editor;
        bool enabledDuringRun;
    };
    const Expect editors[] = {
        {"Text1(0)", false},  {"Text1(4)", false},  // 化成电压 is linked among all six
        {"Text3(2)", false},  {"Combo1(1)", false}, {"Combo2(0)", false},
        {"Text2(0)", false},  {"Text4(2)", false},  {"Text14(1)", false},  // where the test ends, its record
        {"Text3(3)", true},   {"Combo1(3)", true},  {"Text2(3)", true},
    };
    const std::pair<const char*, bool> frames[] = {
        {"测试参数1-3", false},   {"参数联动1-3", false}, {"水煮参数1-3：", false},
        {"水煮参数4-6：", false}, {"测试参数4-6", true},  {"参数联动4-6", true},
    };
    const auto expectAll = [&](bool running) {
        for (const Expect& e : editors)
            EXPECT_EQ(editor(e.editor)->isEnabled(), running ? e.enabledDuringRun : true) << e.editor;
        for (const auto& [title, enabled] : frames) EXPECT_EQ(box(title)->isEnabled(), running ? enabled : true) << title;
        EXPECT_EQ(action("新建文件")->isEnabled(), !running);
        EXPECT_EQ(action("新建")->isEnabled(), !running);
    };
    expectAll(false);

    varnot::testing::connectInstrument(*console);
    sim::Config config;
    config.clock = sim::ClockMode::SampleIndex;
    config.link.steadyTemperature = true;
    instrument = std::make_unique<sim::Instrument>(config);
    prompter.answers = {true, false};
    action("1-3测试开始")->trigger();
    ASSERT_TRUE(console->supervising());
    varnot::testing::runToEnd(*console, *instrument, 5);
    expectAll(true);

    // A 新建 that still reached the model changes nothing of the run.
    const QString panel = console->state().statusPanels[0];
    console->resetChannels();
    EXPECT_EQ(console->state().statusPanels[0], panel);

    action("1-3测试停止")->trigger();
    varnot::testing::settle(*console);
    ASSERT_FALSE(console->supervising());
    expectAll(false);
}

TEST_F(EntriesWindow, APositionBoxChangesOnlyOnAWheelAimedAtIt) {
    window->showTab(3);
    auto* combo = qobject_cast<QComboBox*>(editor("Combo1(0)"));
    ASSERT_TRUE(combo);
    ASSERT_FALSE(combo->hasFocus());
    wheel(combo, 1);
    EXPECT_EQ(combo->currentText(), u"HL");
    EXPECT_EQ(field(Field::TvPosition, 0), u"HL");
    // The batch date is a selection box too.
    auto* date = window->findChild<QAbstractSpinBox*>();
    ASSERT_TRUE(date);
    const QString shown = date->text();
    wheel(date, 1);
    EXPECT_EQ(date->text(), shown);

    // Aimed at the box (it has the focus), the wheel steps through the codes.
    ASSERT_TRUE(focus(combo));
    wheel(combo, 1);
    EXPECT_EQ(combo->currentText(), u"TL");
    EXPECT_EQ(field(Field::TvPosition, 0), u"TL");
}

TEST_F(EntriesWindow, ADateThatIsNoDateIsRefusedAndTheEditorShowsTheDateKept) {
    window->showTab(3);
    auto* edit = qobject_cast<QLineEdit*>(editor("Text24(0)"));
    ASSERT_TRUE(edit);
    ASSERT_TRUE(focus(edit));
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("5"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(field(Field::TvTestDate, 0), u"2026/12/10");
    EXPECT_EQ(edit->text(), u"2026/12/10");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("测试日期应为有效日期（yyyy/mm/dd或yyyy-mm-dd），请重新输入！")});

    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("2026-12-09"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(field(Field::TvTestDate, 0), u"2026-12-09");
}
