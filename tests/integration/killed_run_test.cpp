// A run whose console is killed outright: the simulator program on a pseudo-terminal, the console
// program running a test on it, SIGKILL at a random sample, then a console on the same settings
// putting the run back. The curves put back are the simulator's, sample for sample.
#include "console/console.h"
#include "run/journal_file.h"
#include "sim/instrument.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace varnot;
using varnot::testing::ScriptedPrompter;
using varnot::testing::waitFor;

namespace {

class KilledRun : public ::testing::Test {
protected:
    void TearDown() override {
        for (QProcess* p : {&console, &simulator}) {
            p->kill();
            p->waitForFinished();
        }
    }
    // A settings file for a 1-3 TV run on COM1 that goes on for minutes (a long delay).
    QString settingsFile(const QString& name, const QString& dbpath, const QString& com) {
        const QString path = dir.filePath(name);
        SettingsStore s(path);
        s.initialiseMissing();
        for (int p = 1; p <= 12; ++p)
            s.write(Section::Canshu, indexedKey("compath", p), p == 1 ? com : dir.filePath(QStringLiteral("absent")));
        s.write(Section::Canshu, u"dbpath", dbpath);
        for (int c = 0; c < 3; ++c) {
            s.write(Section::Canshu, indexedKey("TVcsbh", c), QStringLiteral("K9"));
            s.write(Section::Canshu, indexedKey("hcdy", c), QStringLiteral("500"));
            s.write(Section::Canshu, indexedKey("Thl", c), QStringLiteral("600"));
            s.write(Section::Topic, indexedKey("LBUSER", c), QStringLiteral("Li"));
        }
        s.sync();
        return path;
    }
    static JournalReading readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? readJournal(f.readAll()) : JournalReading{};
    }

    QTemporaryDir dir;
    QProcess simulator;
    QProcess console;
};

}  // namespace

TEST_F(KilledRun, TheCurvesPutBackAreTheSimulatorsUpToTheKill) {
    const QString com = dir.filePath(QStringLiteral("com1"));
    // The line takes its time at the console's speed, as a real one would at real intervals.
    simulator.start(QStringLiteral(VARNOT_SIM_PROGRAM),
                    {QStringLiteral("--pty"), com, QStringLiteral("--speed"), QStringLiteral("10")});
    ASSERT_TRUE(simulator.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return simulator.canReadLine(); }));
    const QString local = dir.filePath(QStringLiteral("local"));
    const QString ini = settingsFile(QStringLiteral("settings.ini"), local, com);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The program registers its batch data source where none is defined: in a home of the test's
    // own, never in the real user's ODBC file (unixODBC finds that through the account, not $HOME).
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("home"))));
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("ODBCINI"), dir.filePath(QStringLiteral("home/.odbc.ini")));
    console.setProcessEnvironment(env);
    console.setProcessChannelMode(QProcess::MergedChannels);
    console.start(QStringLiteral(VARNOT_CONSOLE_PROGRAM),
                  {QStringLiteral("--settings"), ini, QStringLiteral("--connect"), QStringLiteral("1"),
                   QStringLiteral("--start"), QStringLiteral("--speed"), QStringLiteral("10"),
                   QStringLiteral("--unattended")});
    ASSERT_TRUE(console.waitForStarted());

    std::mt19937 random(std::random_device{}());
    const int killAt = std::uniform_int_distribution<int>(5, 40)(random);
    SCOPED_TRACE(killAt);
    // Killed once the journal on disk holds the chosen sample.
    QString journal;
    ASSERT_TRUE(waitFor(
        [&] {
            const QStringList found = RunJournal::journalsIn(local);
            journal = found.value(0);
            return !journal.isEmpty() && readFile(journal).lastSample >= killAt;
        },
        60000))
        << console.readAll().toStdString();
    console.kill();
    ASSERT_TRUE(console.waitForFinished());
    const JournalReading onDisk = readFile(journal);
    ASSERT_TRUE(onDisk.valid);
    ASSERT_GE(onDisk.lastSample, killAt);

    // The next start on the same settings: Yes puts the run back; its save is declined here.
    SettingsStore settings(ini);
    ScriptedPrompter prompter;
    prompter.answers = {true, false};
    Console restored(settings, prompter, Timing{});
    restored.load();
    ASSERT_TRUE(restored.recoverInterruptedRun());
    const int last = restored.curves().stored[0];
    EXPECT_EQ(last, onDisk.lastSample);
    // Declined, the journal stays with the unsaved test on screen.
    EXPECT_TRUE(QFile::exists(journal));

    // What the simulator sends for each sample index: the same instrument in-process, polled at
    // every sample of a run with the same settings.
    SettingsStore referenceSettings(settingsFile(QStringLiteral("reference.ini"), dir.filePath(QStringLiteral("ref")), com));
    ScriptedPrompter referencePrompter;
    referencePrompter.answers = {true};
    Console reference(referenceSettings, referencePrompter, Timing{});
    reference.load();
    sim::Config config;
    config.link.steadyTemperature = true;
    sim::Instrument instrument(config);
    varnot::testing::connectInstrument(reference);
    reference.toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(reference.supervising());
    varnot::testing::runToEnd(reference, instrument, last);
    ASSERT_EQ(reference.curves().stored[0], last);

    // Each sample the console stored shows the answer to a poll of that sample, or (on a busy
    // machine) of one before it, never of a later one and never going back.
    for (int ch = 0; ch < 3; ++ch) {
        const auto& V = restored.curves().V[ch];
        const auto& I = restored.curves().I[ch];
        const auto& refV = reference.curves().V[ch];
        const auto& refI = reference.curves().I[ch];
        int j = 1;
        for (int k = 3; k <= last; ++k) {
            int found = j;
            while (found <= k && !(refV[found] == V[k] && refI[found] == I[k])) ++found;
            ASSERT_LE(found, k) << "channel " << ch + 1 << " sample " << k << ": " << V[k] << " V " << I[k] << " mA";
            j = found;
        }
        EXPECT_GT(V[last], V[3]) << ch;  // a rising curve, not a constant
    }
    reference.toolbarCommand(QStringLiteral("stop16"));
    varnot::testing::settle(reference);
}
