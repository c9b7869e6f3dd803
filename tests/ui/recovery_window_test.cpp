// A run put back after a crash, seen through the console window: the readouts, the status bar and
// the channel plots show the run as it stood at its last sample, and 保存 stores it.
#include "console/console.h"
#include "console/console_window.h"
#include "console/plot_view.h"
#include "sim/instrument.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::ScriptedPrompter;

namespace {

QList<QWidget*> plotViews(ConsoleWindow& window) {
    QList<QWidget*> plots;
    for (QWidget* w : window.findChildren<QWidget*>())
        if (dynamic_cast<PlotView*>(w)) plots << w;
    return plots;
}

// The plots as the window paints them.
std::vector<QImage> paintedPlots(const QList<QWidget*>& plots) {
    std::vector<QImage> images;
    for (QWidget* p : plots) images.push_back(p->grab().toImage());
    return images;
}

int changedPixels(const std::vector<QImage>& before, const std::vector<QImage>& after) {
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        for (int y = 0; y < std::min(before[i].height(), after[i].height()); ++y)
            for (int x = 0; x < std::min(before[i].width(), after[i].width()); ++x)
                changed += before[i].pixel(x, y) != after[i].pixel(x, y);
    return changed;
}

}  // namespace

TEST(RecoveryWindow, TheRunPutBackIsShownAndSavedThroughTheWindow) {
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath("s.ini"));
    settings.initialiseMissing();
    settings.write(Section::Canshu, u"dbpath", dir.filePath("local"));
    QString liveVoltage, panel;
    std::vector<QImage> seen;  // the plots as the window showed them at the crash
    {
        // A leakage run of 15 samples whose console goes as in a crash: its journal is left as the
        // file stood (a console ending in order removes it).
        ScriptedPrompter prompter;
        prompter.answers = {true};
        auto console = std::make_unique<Console>(settings, prompter, Timing{});
        console->load();
        auto window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        sim::Config config;
        config.link.steadyTemperature = true;
        config.channels[0] = config.channels[1] = config.channels[2] = *sim::ChannelProfile::preset(u"leak-good");
        sim::Instrument instrument(config);
        console->selectKind(0, TestKind::Leakage);
        for (int c = 0; c < 3; ++c) {
            console->state().field(Field::TvTestNumber, c) = QStringLiteral("W1");
            console->state().field(Field::LeakageTestTime, c) = QStringLiteral("60");
        }
        varnot::testing::connectInstrument(*console);
        console->toolbarCommand(QStringLiteral("test13"));
        varnot::testing::runToEnd(*console, instrument, 15);
        ASSERT_TRUE(console->supervising());
        liveVoltage = console->state().field(Field::LiveVoltage, 0);
        seen = paintedPlots(plotViews(*window));
        panel = console->state().statusPanels[0];
        const QString path = console->journalPath();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        window.reset();
        console.reset();
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    ScriptedPrompter prompter;
    Console console(settings, prompter, Timing{});
    console.load();
    ConsoleWindow window(console);
    window.setPrompter(prompter);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QList<QWidget*> plots = plotViews(window);
    ASSERT_EQ(plots.size(), qsizetype(seen.size()));
    const std::vector<QImage> before = paintedPlots(plots);


    prompter.answers = {true, false};  // put it back; save later
    ASSERT_TRUE(console.recoverInterruptedRun());
    auto* voltage = window.findChild<QLineEdit*>(QStringLiteral("Text25(0)"));
    ASSERT_NE(voltage, nullptr);
    EXPECT_EQ(voltage->text(), liveVoltage);
    QStringList panels;
    for (QLabel* l : window.statusBar()->findChildren<QLabel*>()) panels << l->text();
    EXPECT_TRUE(panels.contains(panel)) << panels.join("|").toStdString();
    // The plots show the curves again, as the window showed them at the crash.
    const std::vector<QImage> restored = paintedPlots(plots);
    // Where curves overlap the redraw puts them one over the other in another order than the
    // samples did one by one: a few pixels differ, while the curves themselves are many.
    const int curves = changedPixels(before, seen);
    ASSERT_GT(curves, 1000);
    EXPECT_LT(changedPixels(seen, restored), curves / 5);

    // 保存 on the toolbar stores the three tests and the journal goes.
    auto* save = window.findChild<QAction*>(QStringLiteral("save2"));
    ASSERT_NE(save, nullptr);
    save->trigger();
    EXPECT_EQ(console.state().statusPanels[6], u"存储 3 条记录") << prompter.messages().join("|").toStdString();
    EXPECT_TRUE(console.testDatabases().recordExists(TestKind::Leakage, QStringLiteral("W1HM")));
    EXPECT_TRUE(QDir(dir.filePath("local")).entryList({QStringLiteral("run-*")}, QDir::Files).isEmpty());
}
