// The calibration window through its own widgets, opened from the console window's menu: its
// lists, the refusals, the readouts following a running test, a step reaching the stored
// coefficient, the next poll frame and the next shown sample, and restoring the defaults.
#include "calibration/calibration_window.h"
#include "acquisition/sampling.h"
#include "console/console.h"
#include "console/console_window.h"
#include "link/frames.h"
#include "settings/setting_keys.h"
#include "storage/qt_print.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace varnot;
using namespace varnot::testing;

namespace {

class CalibrationWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        console =
            std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
        console->load();
        window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // Opened as the operator does, from the menu bar.
        QAction* entry = window->menuBar()->findChild<QAction*>(QStringLiteral("calibration"));
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry->text(), u"电压电流校准");
        entry->trigger();
        calibration = window->calibrationWindow();
        ASSERT_NE(calibration, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(calibration));
    }
    void TearDown() override { window.reset(); }

    template <typename T>
    T* in(const char* name) {
        T* w = calibration->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void choose(const char* combo, const QString& item) {
        QComboBox* box = in<QComboBox>(combo);
        const int target = box->findText(item);
        ASSERT_GE(target, 0) << item.toStdString();
        box->setFocus();
        if (box->currentIndex() < 0) QTest::keyClick(box, Qt::Key_Down);
        while (box->currentIndex() < target) QTest::keyClick(box, Qt::Key_Down);
        while (box->currentIndex() > target) QTest::keyClick(box, Qt::Key_Up);
        ASSERT_EQ(box->currentIndex(), target);
    }
    void click(const char* button) { QTest::mouseClick(in<QPushButton>(button), Qt::LeftButton); }
    QString stored(const char* key, int ch) const {
        return settings->read(Section::Canshu, indexedKey(key, ch));
    }
    QString field(Field f, int ch) const { return console->state().field(f, ch); }
    static QStringList texts(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
    CalibrationWindow* calibration = nullptr;
};

TEST_F(CalibrationWindowTest, ListsTheCurrentGroupsChannelsAndTheFourItemsWithNothingChosen) {
    EXPECT_EQ(calibration->windowTitle(), u"电压电流校准");
    QComboBox* channels = in<QComboBox>("channels");
    QComboBox* items = in<QComboBox>("items");
    EXPECT_EQ(texts(channels), (QStringList{"第1通道校准", "第2通道校准", "第3通道校准"}));
    EXPECT_EQ(texts(items), (QStringList{"电压采样校准", "电流采样校准", "电压控制校准", "电流控制校准"}));
    EXPECT_EQ(channels->currentIndex(), -1);
    EXPECT_EQ(items->currentIndex(), -1);
    for (const char* name : {"voltage1", "current1", "voltage3", "current3"})
        EXPECT_NE(in<QLineEdit>(name), nullptr);
    EXPECT_EQ(calibration->findChild<QLineEdit*>(QStringLiteral("voltage4")), nullptr);
    // Opening it again brings the same window to the front.
    window->openCalibration();
    EXPECT_EQ(window->calibrationWindow(), calibration);
}

TEST_F(CalibrationWindowTest, AStepWithoutAChannelOrAnItemIsRefusedAndWritesNothing) {
    struct Case {
        const char* what;
        bool channel, item;
        const char* button;
        QString message;
    };
    const Case cases[] = {
        {"增加 without a channel", false, false, "increase", "请按下拉箭头选择校准通道！"},
        {"减少 without a channel", false, true, "decrease", "请按下拉箭头选择校准通道！"},
        {"增加 without an item", true, false, "increase", "请按下拉箭头选择校准项目！"},
        {"减少 without an item", true, false, "decrease", "请按下拉箭头选择校准内容！"},
    };
    in<QRadioButton>("coarse")->click();
    for (const Case& c : cases) {
        in<QComboBox>("channels")->setCurrentIndex(-1);
        in<QComboBox>("items")->setCurrentIndex(-1);
        if (c.channel) choose("channels", QStringLiteral("第2通道校准"));
        if (c.item) choose("items", QStringLiteral("电压采样校准"));
        prompter.shown.clear();
        click(c.button);
        EXPECT_EQ(prompter.messages(), QStringList{c.message}) << c.what;
        EXPECT_EQ(settings->loadChannelMemory().coefficients, Coefficients{}) << c.what;
        EXPECT_EQ(console->state().coefficients, Coefficients{}) << c.what;
    }
}

TEST_F(CalibrationWindowTest, AStepReachesTheStoreTheNextFrameAndTheNextShownSample) {
    sim::Instrument instrument{sim::Config{}};
    connectInstrument(*console);
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising());
    QLineEdit* voltage1 = in<QLineEdit>("voltage1");
    QLineEdit* current1 = in<QLineEdit>("current1");
    // The readouts follow the live texts sample by sample.
    QStringList shown;
    for (int k = 0; k < 6; ++k) {
        exchange(*console, instrument);
        console->acquisitionTick();
        settle(*console);
        EXPECT_EQ(voltage1->text(), field(Field::LiveVoltage, 0));
        EXPECT_EQ(current1->text(), field(Field::LiveCurrent, 0));
        EXPECT_EQ(in<QLineEdit>("voltage3")->text(), field(Field::LiveVoltage, 2));
        shown << voltage1->text();
    }
    // A voltage on which one per cent tells, and one that moved while the window showed it.
    ASSERT_GE(field(Field::LiveVoltage, 0).toDouble(), 50);
    shown.removeDuplicates();
    EXPECT_GT(shown.size(), 2) << shown.join(u' ').toStdString();

    // 电压控制校准: the voltage set-point word of channel 1 in the next frame, and only that one.
    const auto frameBefore = buildPollFrame(pollInputFrom(console->state()));
    ASSERT_TRUE(frameBefore);
    choose("channels", QStringLiteral("第1通道校准"));
    choose("items", QStringLiteral("电压控制校准"));
    in<QRadioButton>("coarse")->click();
    click("increase");
    EXPECT_TRUE(prompter.messages().isEmpty());
    EXPECT_EQ(stored("KV", 0), u"1.01");
    EXPECT_EQ(console->state().coefficients.KV[0], 1.01f);
    const auto frameAfter = buildPollFrame(pollInputFrom(console->state()));
    ASSERT_TRUE(frameAfter);
    const int word = kFirstBlock + kOffVoltageCode;
    const int before = getWord(*frameBefore, word), after = getWord(*frameAfter, word);
    ASSERT_GT(before, 1000);
    EXPECT_NEAR(after, before * 1.01, 1.0);
    for (int ch = 1; ch < kChannels; ++ch)
        EXPECT_EQ(getWord(*frameAfter, word + kBlockSize * ch), getWord(*frameBefore, word + kBlockSize * ch))
            << ch;

    // 电压采样校准: the next poll's sample is shown 1 % higher.
    choose("items", QStringLiteral("电压采样校准"));
    click("increase");
    EXPECT_EQ(stored("Vadjust", 0), u"1.01");
    EXPECT_EQ(stored("KV", 0), u"1.01");
    exchange(*console, instrument);
    const ConsoleState& s = console->state();
    const QString untrimmed = voltageText(convertReading(0, s.rawVolt[0], s.rawCurr[0], 1.0f, 1.0f).volts);
    const QString trimmed = voltageText(convertReading(0, s.rawVolt[0], s.rawCurr[0], 1.01f, 1.0f).volts);
    ASSERT_NE(untrimmed, trimmed);
    console->acquisitionTick();
    settle(*console);
    EXPECT_EQ(field(Field::LiveVoltage, 0), trimmed);
    EXPECT_EQ(voltage1->text(), trimmed);
    console->stopAll();
}

TEST_F(CalibrationWindowTest, AStepWithNeitherCoarseNorFineSaysSoAndChangesNothing) {
    choose("channels", QStringLiteral("第2通道校准"));
    choose("items", QStringLiteral("电流采样校准"));
    for (const char* button : {"increase", "decrease"}) {
        prompter.shown.clear();
        click(button);
        EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("请选择调节方式：粗调或细调！")}) << button;
        EXPECT_EQ(console->state().coefficients, Coefficients{}) << button;
        EXPECT_EQ(stored("Iadjust", 1), u"1") << button;
    }
    in<QRadioButton>("fine")->click();
    prompter.shown.clear();
    click("increase");
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(stored("Iadjust", 1), u"1.0005");
}

TEST_F(CalibrationWindowTest, BetweenRunsTheReadoutsFollowThePollAndShowEachChannelsCoefficients) {
    sim::Instrument instrument{sim::Config{}};
    connectInstrument(*console);
    ConsoleState& s = console->state();
    // A last run left its texts behind; the window shows what the instrument reads now.
    s.field(Field::LiveVoltage, 0) = QStringLiteral("161.6");
    exchange(*console, instrument);
    settle(*console);
    const auto reading = [&](int ch) {
        return convertReading(ch, s.rawVolt[ch], s.rawCurr[ch], s.coefficients.Vadjust[ch],
                              s.coefficients.Iadjust[ch]);
    };
    for (int ch = 0; ch < 3; ++ch) {
        const QString n = QString::number(ch + 1);
        EXPECT_EQ(in<QLineEdit>(("voltage" + n).toLatin1().constData())->text(), voltageText(reading(ch).volts));
        EXPECT_EQ(in<QLineEdit>(("current" + n).toLatin1().constData())->text(),
                  currentText(reading(ch).milliamperes));
    }
    EXPECT_NE(in<QLineEdit>("voltage1")->text(), u"161.6");
    QLabel* coefficients2 = in<QLabel>("coefficients2");
    ASSERT_NE(coefficients2, nullptr);
    EXPECT_TRUE(coefficients2->text().contains(u"电压采样校准 1 ")) << qPrintable(coefficients2->text());

    // A coarse step on channel 2's voltage sampling shows in its coefficients and its readout at
    // once, without a run.
    s.rawVolt[1] = 5000;  // 100 V raw: one per cent tells in the shown tenths
    choose("channels", QStringLiteral("第2通道校准"));
    choose("items", QStringLiteral("电压采样校准"));
    in<QRadioButton>("coarse")->click();
    click("increase");
    EXPECT_TRUE(coefficients2->text().contains(u"电压采样校准 1.01 ")) << qPrintable(coefficients2->text());
    EXPECT_EQ(in<QLineEdit>("voltage2")->text(), voltageText(convertReading(1, 5000, s.rawCurr[1], 1.01f, 1).volts));
    EXPECT_NE(in<QLineEdit>("voltage2")->text(), voltageText(convertReading(1, 5000, s.rawCurr[1], 1, 1).volts));
    EXPECT_TRUE(in<QLabel>("coefficients1")->text().contains(u"电压采样校准 1 "));
}

TEST_F(CalibrationWindowTest, RestoreDefaultsRedrawsThePlotsAtTheirNewZoom) {
    sim::Instrument instrument{sim::Config{}};
    connectInstrument(*console);
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising());
    for (int k = 0; k < 8; ++k) {
        exchange(*console, instrument);
        console->acquisitionTick();
        settle(*console);
    }
    console->stopAll();
    settle(*console);
    prompter.shown.clear();
    console->zoomChannels(true);
    console->zoomCombined(true);
    const QImage before = console->plots().TV[0]->image().copy();
    prompter.answers = {true};
    click("restore");
    ASSERT_EQ(console->plots().hxfd[0], 0.03125f);
    const QImage channel = console->plots().TV[0]->image().copy();
    const QImage group = console->plots().TV16[0]->image().copy();
    EXPECT_NE(channel, before);
    // The zoom commands' own redraw at the same factors draws the same pictures.
    console->zoomChannels(true);
    console->zoomChannels(false);
    console->zoomCombined(true);
    console->zoomCombined(false);
    ASSERT_EQ(console->plots().hxfd[0], 0.03125f);
    ASSERT_EQ(console->plots().hxfd16, 0.125f);
    EXPECT_EQ(console->plots().TV[0]->image(), channel);
    EXPECT_EQ(console->plots().TV16[0]->image(), group);
}

TEST_F(CalibrationWindowTest, RestoreDefaultsResetsEveryChannelAndBothZoomFactorsWhicheverChannelIsChosen) {
    ConsoleState& s = console->state();
    for (int ch = 0; ch < kChannels; ++ch) {
        s.coefficients.Vadjust[ch] = 1.5f;
        s.coefficients.KI[ch] = 0.5f;
    }
    settings->storeCoefficients(s.coefficients);
    console->zoomChannels(true);
    console->zoomCombined(true);
    ASSERT_NE(settings->read(Section::Canshu, u"hxfd16"), u"0.125");
    choose("channels", QStringLiteral("第3通道校准"));
    // It asks first: No keeps every coefficient and zoom factor.
    const Coefficients trimmed = s.coefficients;
    const float zoomed = console->plots().hxfd[0];
    click("restore");
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, u"question");
    EXPECT_EQ(s.coefficients, trimmed);
    EXPECT_EQ(stored("Vadjust", 4), u"1.5");
    EXPECT_EQ(console->plots().hxfd[0], zoomed);
    prompter.shown.clear();
    prompter.answers = {true};
    click("restore");
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, u"question");
    EXPECT_EQ(s.coefficients, Coefficients{});
    for (int ch = 0; ch < kChannels; ++ch) {
        for (const char* key : {"Vadjust", "Iadjust", "KV", "KI"})
            EXPECT_EQ(stored(key, ch), u"1") << key << ch;
        EXPECT_EQ(stored("hxfd", ch), u"0.03125") << ch;
        EXPECT_EQ(console->plots().hxfd[ch], 0.03125f) << ch;
    }
    EXPECT_EQ(settings->read(Section::Canshu, u"hxfd16"), u"0.125");
    EXPECT_EQ(console->plots().hxfd16, 0.125f);

    // 退出 closes the window and it goes away.
    click("close");
    EXPECT_TRUE(waitFor([&] { return window->calibrationWindow() == nullptr; }));
}

}  // namespace
