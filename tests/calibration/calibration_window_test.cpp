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
    click("restore");
    EXPECT_TRUE(prompter.shown.empty());
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
