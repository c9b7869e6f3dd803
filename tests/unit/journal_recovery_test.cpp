// A run cut short and put back: the console's journal left as a crash leaves it (the console gone
// without closing), a new console on the same settings offering it back, and what Yes and No do.
#include "console/console.h"
#include "support/console_fixture.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/local_db.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

using namespace varnot;
using varnot::testing::ScriptedPrompter;

namespace {

const QString kRecover = QStringLiteral("上次测试未正常结束，是否恢复？");
const QString kSave = QStringLiteral("测试结束，需要保存吗？");

// What the operator saw of channels 1 to 3 at a moment of the run.
struct Seen {
    std::array<PerChannel<QString>, kFieldCount> fields;
    PerChannel<QString> panels;
    PerChannel<std::vector<float>> V, I;
    PerChannel<int> endSample;
    PerChannel<bool> ended;
    PerChannel<QImage> plot;  // each channel's own plot
    int stored = 0;

    explicit Seen(Console& c) {
        fields = c.state().fields;
        for (int ch = 0; ch < 3; ++ch) {
            panels[ch] = c.state().statusPanels[ch];
            V[ch] = c.curves().V[ch];
            I[ch] = c.curves().I[ch];
            endSample[ch] = c.view().endSample[ch];
            ended[ch] = c.state().chEnded[ch];
            plot[ch] = c.plots().TV[ch]->image().copy();
        }
        stored = c.curves().stored[0];
    }
};

class JournalRecovery : public varnot::testing::ConsoleFixture {
protected:
    void prepareSettings() override { settings->write(Section::Canshu, u"dbpath", dir.filePath("local")); }
    void SetUp() override {
        ConsoleFixture::SetUp();
        startLeakageRun();
    }
    // Leakage tests store no sheet: a save is local alone. Channel 1 ends after 8 samples,
    // channels 2 and 3 run on.
    void startLeakageRun() {
        sim::Config config;
        config.link.steadyTemperature = true;
        config.channels[0] = *sim::ChannelProfile::preset(u"leak-good");
        config.channels[1] = *sim::ChannelProfile::preset(u"leak-bad");
        config.channels[2] = *sim::ChannelProfile::preset(u"leak-good");
        instrument = std::make_unique<sim::Instrument>(config);
        console->selectKind(0, TestKind::Leakage);
        for (int c = 0; c < 3; ++c) {
            set(Field::TvTestNumber, c, QStringLiteral("J1"));
            set(Field::TvOperator, c, QStringLiteral("Li"));
            set(Field::LeakageVoltage, c, QStringLiteral("100"));
            set(Field::LeakageLimit, c, QStringLiteral("0.3"));
            set(Field::LeakageTestTime, c, c == 0 ? QStringLiteral("8") : QStringLiteral("40"));
        }
        varnot::testing::connectInstrument(*console);
        prompter.answers = {true};
        console->toolbarCommand(QStringLiteral("test13"));
        ASSERT_TRUE(console->supervising());
    }
    void set(Field f, int ch, const QString& text) { console->state().field(f, ch) = text; }
    void runTo(int sample) {
        varnot::testing::runToEnd(*console, *instrument, sample - console->curves().stored[0]);
        ASSERT_EQ(console->curves().stored[0], sample);
        ASSERT_TRUE(console->supervising());
    }
    QByteArray journalBytes() const {
        QFile f(console->journalPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The console goes as in a crash: nothing of it is closed; its journal is the file on disk as
    // it stood (a console ending in order removes it).
    void crash(const QByteArray& leftOnDisk) {
        const QString path = console->journalPath();
        ASSERT_FALSE(path.isEmpty());
        console.reset();
        ASSERT_FALSE(QFile::exists(path));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(leftOnDisk);
    }
    std::unique_ptr<Console> restart(ScriptedPrompter& p) {
        auto c = std::make_unique<Console>(*settings, p, Timing{}, [] { return QDate(2026, 12, 10); });
        c->load();
        return c;
    }
    QStringList questions(const ScriptedPrompter& p) const {
        QStringList q;
        for (const auto& s : p.shown)
            if (s.kind == "question") q << s.text;
        return q;
    }
    QStringList filesIn(const QString& folder, const QString& pattern) const {
        return QDir(folder).entryList({pattern}, QDir::Files);
    }
};

void expectShownAsSeen(Console& c, const Seen& seen) {
    EXPECT_FALSE(c.supervising());
    EXPECT_EQ(c.curves().stored[0], seen.stored);
    for (int ch = 0; ch < 3; ++ch) {
        SCOPED_TRACE(ch);
        for (int f = 0; f < kFieldCount; ++f) EXPECT_EQ(c.state().fields[f][ch], seen.fields[f][ch]) << f;
        EXPECT_EQ(c.state().statusPanels[ch], seen.panels[ch]);
        for (int k = 1; k <= seen.stored + 1; ++k) {
            ASSERT_EQ(c.curves().V[ch][k], seen.V[ch][k]) << k;
            ASSERT_EQ(c.curves().I[ch][k], seen.I[ch][k]) << k;
        }
        EXPECT_EQ(c.view().endSample[ch], seen.endSample[ch]);
        EXPECT_EQ(c.state().chEnded[ch], seen.ended[ch]);
        EXPECT_TRUE(c.state().chStopped[ch]);
        // The plot as the run drew it sample by sample, with its marks (an ended channel's end
        // marks too), drawn again in one go.
        const QImage& now = c.plots().TV[ch]->image();
        ASSERT_EQ(now.size(), seen.plot[ch].size());
        int differ = 0;
        for (int y = 0; y < now.height(); ++y)
            for (int x = 0; x < now.width(); ++x) differ += now.pixel(x, y) != seen.plot[ch].pixel(x, y);
        EXPECT_EQ(differ, 0);
    }
}

}  // namespace

TEST_F(JournalRecovery, YesPutsTheRunBackAsAtItsLastSampleAndItsSaveRemovesTheJournal) {
    runTo(20);
    ASSERT_TRUE(console->testFinished(0));
    ASSERT_FALSE(console->testFinished(1));
    const Seen seen(*console);
    const QString folder = dir.filePath("local");
    crash(journalBytes());

    ScriptedPrompter again;
    again.answers = {true, true};  // put it back, save it
    auto restarted = restart(again);
    ASSERT_TRUE(restarted->recoverInterruptedRun());
    EXPECT_EQ(questions(again), (QStringList{kRecover, kSave})) << again.messages().join("|").toStdString();
    expectShownAsSeen(*restarted, seen);
    EXPECT_EQ(restarted->state().statusPanels[6], u"存储 3 条记录") << again.messages().join("|").toStdString();

    // Stored as a stopped run's end stores it: the ended channel with its result and its samples,
    // the others with what they measured and no result.
    varnot::testing::LocalDb local(folder + QStringLiteral("/") + testDatabaseFile(TestKind::Leakage));
    EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"漏电流参数\"")).toInt(), 3);
    EXPECT_EQ(local.value(QStringLiteral("SELECT \"漏电流\" FROM \"漏电流参数\" WHERE \"测试编号\" = 'J1HL'")).toString(),
              seen.fields[int(Field::LeakageCurrent)][0]);
    EXPECT_TRUE(local.value(QStringLiteral("SELECT \"漏电流\" FROM \"漏电流参数\" WHERE \"测试编号\" = 'J1HM'")).isNull());
    EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"J1HL\"")).toInt(), seen.endSample[0]);
    EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"J1HM\"")).toInt(), 20);
    EXPECT_TRUE(restarted->journalPath().isEmpty());
    EXPECT_TRUE(filesIn(folder, QStringLiteral("run-*")).isEmpty());
}

TEST_F(JournalRecovery, NoKeepsTheJournalAsideAndItIsNotOfferedAgain) {
    runTo(12);
    const QByteArray bytes = journalBytes();
    const QString folder = dir.filePath("local");
    crash(bytes);

    ScriptedPrompter declined;
    declined.answers = {false};
    auto second = restart(declined);
    EXPECT_FALSE(second->recoverInterruptedRun());
    EXPECT_EQ(questions(declined), QStringList{kRecover});
    EXPECT_EQ(second->curves().stored[0], 0);
    EXPECT_EQ(second->curves().V[1][5], 0.0f);
    const QStringList aside = filesIn(folder, QStringLiteral("run-*.journal.kept-*"));
    ASSERT_EQ(aside.size(), 1) << filesIn(folder, QStringLiteral("*")).join("|").toStdString();
    QFile kept(QDir(folder).filePath(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), bytes);  // nothing of it thrown away
    EXPECT_TRUE(filesIn(folder, QStringLiteral("*.journal")).isEmpty());

    ScriptedPrompter third;
    auto later = restart(third);
    EXPECT_FALSE(later->recoverInterruptedRun());
    EXPECT_TRUE(third.shown.empty());
}

TEST_F(JournalRecovery, AKillDuringATickWriteLeavesTheRunAtTheSampleBefore) {
    runTo(11);
    const Seen before(*console);
    const QByteArray at11 = journalBytes();
    runTo(12);
    const QByteArray at12 = journalBytes();
    ASSERT_GT(at12.size(), at11.size());
    // The write of sample 12 torn in its middle.
    crash(at12.left(at11.size() + (at12.size() - at11.size()) / 2));

    ScriptedPrompter again;
    again.answers = {true, false};  // put it back; no save yet
    auto restarted = restart(again);
    ASSERT_TRUE(restarted->recoverInterruptedRun());
    expectShownAsSeen(*restarted, before);
    // The save was declined: the journal stays while the test is on screen and unsaved, and goes
    // when it is given up for a new test.
    EXPECT_FALSE(filesIn(dir.filePath("local"), QStringLiteral("run-*")).isEmpty());
    again.answers = {true};
    restarted->resetChannels();
    EXPECT_TRUE(filesIn(dir.filePath("local"), QStringLiteral("run-*")).isEmpty());
}

TEST_F(JournalRecovery, AJournalARunningConsoleKeepsOrAnotherFolderHoldsIsLeftAlone) {
    runTo(5);
    const QString path = console->journalPath();
    ScriptedPrompter other;
    auto second = restart(other);
    EXPECT_FALSE(second->recoverInterruptedRun());
    EXPECT_TRUE(other.shown.empty());
    EXPECT_TRUE(console->supervising());

    // The same journal copied into another console's folder is not that console's run.
    const QString elsewhere = dir.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const QString copy = QDir(elsewhere).filePath(QFileInfo(path).fileName());
    ASSERT_TRUE(QFile::copy(path, copy));
    SettingsStore otherSettings(dir.filePath("other.ini"));
    otherSettings.initialiseMissing();
    otherSettings.write(Section::Canshu, u"dbpath", elsewhere);
    Console third(otherSettings, other, Timing{}, [] { return QDate(2026, 12, 10); });
    third.load();
    EXPECT_FALSE(third.recoverInterruptedRun());
    EXPECT_TRUE(other.shown.empty());
    EXPECT_TRUE(QFile::exists(copy));

    // The run's end with its save declined keeps its journal while the test is unsaved; given up
    // for a new test, the journal goes.
    prompter.answers = {false};
    console->toolbarCommand(QStringLiteral("stop16"));
    ASSERT_TRUE(varnot::testing::waitFor([&] { return !console->supervising(); }));
    EXPECT_EQ(prompter.count(kSave), 1);
    EXPECT_TRUE(QFile::exists(path));
    prompter.answers = {true};
    console->resetChannels();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(console->journalPath().isEmpty());
}

// A save cut short (here by a duplicate it stopped at, then a crash) is completed by the run put
// back: what it had stored is not refused as a duplicate of itself, what it had not is stored. The
// crash may also fall between a record's write and the journal's note of it.
TEST_F(JournalRecovery, ASaveCutShortIsCompletedByTheRunPutBack) {
    const QString folder = dir.filePath("local");
    struct Case {
        const char* name;
        bool lastNoteLost;  // the crash came before the journal noted the record written
    };
    for (const Case c : {Case{"noted", false}, Case{"not noted", true}}) {
        SCOPED_TRACE(c.name);
        // Another test already holds J1HM: the save stores J1HL, then stops at the duplicate.
        StoredTest other;
        other.kind = TestKind::Leakage;
        other.recordName = QStringLiteral("J1HM");
        other.values[QStringLiteral("测试编号")] = other.recordName;
        other.volts = {1.0f};
        other.amps = {0.1f};
        ASSERT_EQ(LocalRecords(folder).save(other), QString());
        prompter.shown.clear();
        prompter.answers = {true};  // the save question at the run's end
        varnot::testing::runToEnd(*console, *instrument);
        ASSERT_FALSE(console->supervising());
        ASSERT_EQ(prompter.messages().size(), 1);
        ASSERT_TRUE(prompter.messages()[0].startsWith(QStringLiteral("同名记录漏电流测试编号：J1HM"))) << prompter.messages()[0].toStdString();
        QByteArray onDisk = journalBytes();
        if (c.lastNoteLost) onDisk.chop(encodeStored(0, StoredPart::Local).size());
        crash(onDisk);
        {
            varnot::testing::LocalDb local(folder + QStringLiteral("/") + testDatabaseFile(TestKind::Leakage));
            local.value(QStringLiteral("DELETE FROM \"漏电流参数\" WHERE \"测试编号\" = 'J1HM'"));
            local.value(QStringLiteral("DROP TABLE \"J1HM\""));
        }
        LocalRecords::closeReaders();

        ScriptedPrompter again;
        again.answers = {true, true};  // put it back, save it
        auto restarted = restart(again);
        ASSERT_TRUE(restarted->recoverInterruptedRun());
        EXPECT_TRUE(again.messages().isEmpty()) << again.messages().join("|").toStdString();
        EXPECT_EQ(restarted->state().statusPanels[6], u"存储 2 条记录");
        EXPECT_FALSE(restarted->unsavedTest());
        varnot::testing::LocalDb local(folder + QStringLiteral("/") + testDatabaseFile(TestKind::Leakage));
        EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"漏电流参数\"")).toInt(), 3);
        EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"漏电流参数\" WHERE \"测试编号\" = 'J1HL'")).toInt(), 1);
        restarted.reset();
        if (!c.lastNoteLost) {
            // The second round runs the same test again on a clean folder.
            ASSERT_TRUE(QDir(folder).removeRecursively());
            LocalRecords::closeReaders();
            console = restart(prompter);
            ASSERT_NO_FATAL_FAILURE(startLeakageRun());
        }
    }
}

TEST_F(JournalRecovery, ARecordThatCannotBeWrittenMidRunIsAnnouncedOnceAndTheRunGoesOn) {
    runTo(3);
    const QString path = console->journalPath();
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(console->notices().isEmpty());
    {
        // The disk is full: nothing beyond the journal's present size can be written (the signal a
        // file past the limit raises is ignored, so the write fails instead).
        struct Full {
            explicit Full(rlim_t size) {
                struct sigaction ignore {};
                ignore.sa_handler = SIG_IGN;
                ::sigaction(SIGXFSZ, &ignore, &signalBefore);
                ::getrlimit(RLIMIT_FSIZE, &before);
                rlimit full = before;
                full.rlim_cur = size;
                ok = ::setrlimit(RLIMIT_FSIZE, &full) == 0;
            }
            ~Full() {
                ::setrlimit(RLIMIT_FSIZE, &before);
                ::sigaction(SIGXFSZ, &signalBefore, nullptr);
            }
            struct sigaction signalBefore {};
            rlimit before{};
            bool ok = false;
        } full(rlim_t(QFileInfo(path).size()));
        ASSERT_TRUE(full.ok);
        runTo(6);
    }
    ASSERT_EQ(console->notices().size(), 1) << console->notices().join(u'|').toStdString();
    EXPECT_TRUE(console->notices()[0].startsWith(QStringLiteral("运行记录无法写入，测试中断时数据无法恢复：") + path));
    EXPECT_TRUE(console->supervising());
    EXPECT_EQ(console->curves().stored[1], 6);
}
