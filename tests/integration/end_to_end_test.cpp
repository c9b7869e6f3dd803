// Whole tests from the toolbar to storage through the real path: the simulator program on
// pseudo-terminals, the console with shortened intervals and a scripted prompter, the local test
// databases in SQLite files and the batch store through ODBC, on the SQLite ODBC driver and on
// PostgreSQL through psqlODBC.
#include "console/console.h"
#include "link/link_texts.h"
#include "support/batch_source.h"
#include "support/event_wait.h"
#include "support/local_db.h"
#include "support/scripted_prompter.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace varnot;
using varnot::testing::ScriptedPrompter;
using varnot::testing::LocalDb;
using varnot::testing::waitFor;

namespace {

using varnot::testing::Engine;

class EndToEnd : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(source.setUp(GetParam(),
                                             ++tests == 1 ? QStringLiteral("result") : QStringLiteral("result%1").arg(tests),
                                             QDir(dir.path())));
        if (IsSkipped()) return;
        settings = std::make_unique<SettingsStore>(dir.filePath("settings.ini"));
        settings->initialiseMissing();
        for (int p = 1; p <= 12; ++p)
            settings->write(Section::Canshu, indexedKey("compath", p), dir.filePath(QString("absent%1").arg(p)));
        settings->write(Section::Canshu, u"dbpath", dir.filePath(QStringLiteral("local")));
        console = std::make_unique<Console>(*settings, prompter, Timing{0.02});
        console->load();
        console->batchStore() = BatchStore(source.connectionText());
    }
    void TearDown() override {
        for (auto& p : simulators) {
            p->kill();
            p->waitForFinished();
        }
        if (console) console->unload();
        source.tearDown();
    }

    // Starts varnot-sim on COMn with the given channel profiles and connects to it.
    void instrument(int port, const QStringList& profiles) {
        const QString path = dir.filePath(QStringLiteral("com%1").arg(port));
        // The line runs as fast as the console's intervals.
        QStringList args{QStringLiteral("--pty"), path, QStringLiteral("--speed"), QStringLiteral("50")};
        for (int c = 0; c < profiles.size(); ++c) args << QStringLiteral("--channel") << QStringLiteral("%1=%2").arg(c + 1).arg(profiles[c]);
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(VARNOT_SIM_PROGRAM), args);
        ASSERT_TRUE(p->waitForStarted());
        ASSERT_TRUE(waitFor([&] { return p->canReadLine(); }));
        simulators.push_back(std::move(p));
        settings->write(Section::Canshu, indexedKey("compath", port), path);
        console->connection().serialConnect(port);
        ASSERT_TRUE(waitFor([&] { return !console->connection().scanning(); }));
        ASSERT_TRUE(console->connection().serialOpen()) << prompter.messages().join("|").toStdString();
        // The bath temperature is checked between runs; a run waits for it to be inside the window.
        ASSERT_TRUE(waitFor([&] { return console->state().tempOk; }));
    }

    void set(Field f, int ch, const QString& text) { console->state().field(f, ch) = text; }
    void group(const QString& number, const QStringList& positions, const QString& delay) {
        for (int c = 0; c < 3; ++c) {
            set(Field::TvTestNumber, c, number);
            set(Field::TvPosition, c, positions[c]);
            set(Field::FormationVoltage, c, QStringLiteral("500"));
            set(Field::DelayTime, c, delay);
            set(Field::RiseTimeLimit, c, QStringLiteral("150"));
            set(Field::TvOperator, c, QStringLiteral("Li"));
        }
    }
    // Presses a toolbar key and waits until the run it started has ended.
    // `whileRunning` stands for what the operator types during the run.
    void runToEnd(const char* key, int timeoutMs = 60000, const std::function<void()>& whileRunning = {}) {
        console->toolbarCommand(QString::fromLatin1(key));
        ASSERT_TRUE(console->supervising()) << prompter.messages().join("|").toStdString();
        if (whileRunning) whileRunning();
        ASSERT_TRUE(waitFor([&] { return !console->supervising(); }, timeoutMs))
            << "n=" << console->state().n << " tempOk=" << console->state().tempOk << " temp="
            << console->state().testTemperature.toStdString() << " " << prompter.messages().join("|").toStdString();
    }

    QString batchQuery(const QString& sql, const QVariantList& values = {}) { return source.query(sql, values); }
    int batchCount(const char* table, const QString& serial) {
        return batchQuery(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE SerNum = ?").arg(QString::fromLatin1(table)),
                          {serial})
            .toInt();
    }
    QString localFile(TestKind kind) const { return dir.filePath(QStringLiteral("local/") + testDatabaseFile(kind)); }

    QTemporaryDir dir;
    varnot::testing::BatchSource source;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::vector<std::unique_ptr<QProcess>> simulators;
};

}  // namespace

TEST_P(EndToEnd, TvRunsBeforeAndAfterBoilingAreStoredAsOneBatch) {
    console->setBatchField(BatchField::Spec, QStringLiteral("kdb-520vf"));
    console->setBatchField(BatchField::VF, QStringLiteral("520"));
    // The sheet values are typed while the run goes on.
    const auto sheetValues = [this] {
        console->setSheetValue(1, SheetValue::Capacitance, QStringLiteral("0.8123"));
        console->setSheetValue(2, SheetValue::Bending, QStringLiteral("7.6"));
    };

    // Fresh foil before boiling: sheets 1 to 3.
    instrument(1, {QStringLiteral("fresh"), QStringLiteral("fresh"), QStringLiteral("weak")});
    console->selectBoiling(0, Console::Boiling::Before);
    group(QStringLiteral("B7"), {QStringLiteral("HL"), QStringLiteral("HM"), QStringLiteral("HR")}, QStringLiteral("10"));
    prompter.answers = {true, true, true, true, true};  // start, save, sheets 1..3
    runToEnd("test13", 60000, sheetValues);
    EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录") << prompter.messages().join("|").toStdString();
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(prompter.count(QStringLiteral("第%1片曲线数据保存完毕!").arg(k)), 1) << k;
    const int tr = console->state().field(Field::RiseTime, 0).toInt();
    // Point A is the first stored sample at 90 % of 化成电压 (450 V): every sample is judged
    // before the next is stored, so this holds exactly on a busy machine too (where a sample may
    // show a poll answered a little earlier, and the rise time moves with it).
    ASSERT_GT(tr, 1);
    EXPECT_GE(console->curves().V[0][tr], 450.0f);
    for (int k = 1; k < tr; ++k) ASSERT_LT(console->curves().V[0][k], 450.0f) << k;
    const QString judged = console->state().field(Field::TvJudgement, 0);
    // The test ends at the visit after sample Tr + delay, whatever the load: no sample is stored
    // before every running channel was visited on the one before.
    EXPECT_EQ(console->view().endSample[0], tr + 10) << tr;

    // Boiled foil after boiling, the same batch from the tail: sheets 4 to 6.
    console->connection().serialClose();
    instrument(2, {QStringLiteral("boiled"), QStringLiteral("boiled"), QStringLiteral("boiled")});
    console->selectBoiling(0, Console::Boiling::After);
    group(QStringLiteral("B7"), {QStringLiteral("TL"), QStringLiteral("TM"), QStringLiteral("TR")}, QStringLiteral("10"));
    prompter.answers = {true, true, true, true, true};
    runToEnd("test13", 90000);
    // The status counts the records this save stored.
    EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录") << prompter.messages().join("|").toStdString();

    // The batch row once, six sheet rows and six curve rows.
    EXPECT_EQ(batchCount("Whole_Parameter", QStringLiteral("B7")), 1);
    EXPECT_EQ(batchCount("Part_Parameter", QStringLiteral("B7")), 6);
    EXPECT_EQ(batchCount("Curve", QStringLiteral("B7")), 6);
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT Speci FROM Whole_Parameter WHERE SerNum = ?"), {QStringLiteral("B7")}),
              u"KDB-520VF");
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT Conner FROM Whole_Parameter WHERE SerNum = ?"), {QStringLiteral("B7")}),
              u"OQC");
    EXPECT_NEAR(batchQuery(QStringLiteral("SELECT SpecVot FROM Part_Parameter WHERE SerNum = ? AND NumCurve = 1"),
                           {QStringLiteral("B7")}).toDouble(), 0.812, 1e-4);
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT Tr FROM Part_Parameter WHERE SerNum = ? AND NumCurve = 1"),
                         {QStringLiteral("B7")}).toDouble(), tr)
        << batchQuery(QStringLiteral("SELECT Tr FROM Part_Parameter WHERE SerNum = ? AND NumCurve = 1"),
                      {QStringLiteral("B7")}).toStdString();
    const QString sheet4 = batchQuery(QStringLiteral("SELECT SpecVot FROM Part_Parameter WHERE SerNum = ? AND NumCurve = 4"),
                           {QStringLiteral("B7")});
    EXPECT_TRUE(sheet4.isEmpty()) << sheet4.toStdString();  // an empty cell is NULL
    // Sheet 1's curve: columns 0 .. delay + Tr - 1, the last one a voltage near the plateau.
    const QString lastColumn = QString::number(10 + tr - 1);
    EXPECT_GT(batchQuery(QStringLiteral("SELECT \"%1\" FROM Curve WHERE SerNum = ? AND NumCurve = 1").arg(lastColumn),
                         {QStringLiteral("B7")}).toDouble(), 450);
    const QString beyond = batchQuery(QStringLiteral("SELECT \"%1\" FROM Curve WHERE SerNum = ? AND NumCurve = 1").arg(10 + tr),
                           {QStringLiteral("B7")});
    EXPECT_TRUE(beyond.isEmpty()) << beyond.toStdString();

    // The local TV database holds all six tests with their curves.
    LocalDb local(localFile(TestKind::TV));
    EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"铝箔TV参数\"")).toInt(), 6);
    EXPECT_EQ(local.value(QStringLiteral("SELECT \"TV特性\" FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'B7HL'")).toString(), judged);
    EXPECT_EQ(local.value(QStringLiteral("SELECT \"水煮后\" FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'B7TM'")).toInt(), 1);
    EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"B7HL\"")).toInt(), tr + 10);
    EXPECT_TRUE(console->testDatabases().recordExists(TestKind::TV, QStringLiteral("B7TR")));

    // The same test saved again: nothing of its own is refused, nothing is stored twice, and the
    // operator is told it is stored already.
    prompter.shown.clear();
    console->save2Click();
    EXPECT_EQ(prompter.messages(), QStringList{"本次测试已经保存！"});
    EXPECT_EQ(batchCount("Part_Parameter", QStringLiteral("B7")), 6);
    // A new test with the same numbers is refused at the start.
    prompter.shown.clear();
    console->toolbarCommand(QStringLiteral("test13"));
    EXPECT_FALSE(console->supervising());
    EXPECT_EQ(prompter.messages().value(0), u"同名记录TV测试编号：B7TL 已经存在，请使用其他的编号！");
    console->toolbarCommand(QStringLiteral("stop16"));
}

TEST_P(EndToEnd, HostileSerialAndTesterAreStoredVerbatim) {
    instrument(1, {QStringLiteral("fresh"), QStringLiteral("fresh"), QStringLiteral("fresh")});
    const QString serial = QStringLiteral("O'Brien\"; drop table \"Curve");
    const QString tester = QStringLiteral("'; drop table Curve; --");
    group(serial, {QStringLiteral("HL"), QStringLiteral("HM"), QStringLiteral("HR")}, QStringLiteral("5"));
    for (int c = 0; c < 3; ++c) set(Field::TvOperator, c, tester);
    prompter.answers = {true, true, true, false, false};  // start, save, sheet 1; sheets 2 and 3 declined
    runToEnd("test13");
    // One record stored; the declined sheets stored nothing.
    EXPECT_EQ(console->state().statusPanels[6], u"存储 1 条记录") << prompter.messages().join("|").toStdString();
    // The batch is filed under the serial's one rule (letters a to z upper-cased); the local
    // record keeps the test number as typed.
    EXPECT_EQ(batchCount("Whole_Parameter", batchSerial(serial)), 1);
    EXPECT_EQ(batchCount("Part_Parameter", batchSerial(serial)), 1);
    EXPECT_EQ(batchCount("Curve", batchSerial(serial)), 1);
    LocalDb local(localFile(TestKind::TV));
    EXPECT_EQ(local.value(QStringLiteral("SELECT \"测试人\" FROM \"铝箔TV参数\" WHERE \"测试编号\" = ?"), {serial + "HL"}).toString(),
              tester);
    EXPECT_GT(local.value(QStringLiteral("SELECT COUNT(*) FROM \"O'Brien\"\"; drop table \"\"CurveHL\"")).toInt(), 0);
}

TEST_P(EndToEnd, SimulatorKilledMidRunShowsTheFailureThenTheSaveQuestion) {
    instrument(1, {QStringLiteral("fresh"), QStringLiteral("fresh"), QStringLiteral("fresh")});
    group(QStringLiteral("K1"), {QStringLiteral("HL"), QStringLiteral("HM"), QStringLiteral("HR")}, QStringLiteral("180"));
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(waitFor([&] { return console->state().n > 10; }));
    simulators.back()->kill();
    simulators.back()->waitForFinished();
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    const QStringList texts = [&] {
        QStringList t;
        for (const auto& s : prompter.shown) t << s.text;
        return t;
    }();
    const qsizetype failure = texts.indexOf(link_texts::kPollFailure);
    const qsizetype question = texts.indexOf(QStringLiteral("测试结束，需要保存吗？"));
    ASSERT_GE(failure, 0) << texts.join("|").toStdString();
    EXPECT_GT(question, failure);
    EXPECT_GT(console->curves().V[0][5], 0.0f);  // the curves stay
    EXPECT_EQ(console->state().n, 0);
    EXPECT_FALSE(console->connection().serialOpen());
}

TEST_P(EndToEnd, LeakageAndElectrolyteRunsAreKeptLocally) {
    instrument(1, {QStringLiteral("leak-good"), QStringLiteral("leak-bad"), QStringLiteral("leak-good")});
    console->selectKind(0, TestKind::Leakage);
    for (int c = 0; c < 3; ++c) {
        set(Field::TvTestNumber, c, QStringLiteral("L1"));
        set(Field::LeakageVoltage, c, QStringLiteral("100"));
        set(Field::LeakageTestTime, c, QStringLiteral("30"));
        set(Field::LeakageLimit, c, QStringLiteral("0.3"));
    }
    prompter.answers = {true, true};  // start, save; no sheet question for leakage
    runToEnd("test13");
    // No sheet for leakage tests: the status names the three records kept locally.
    EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录") << prompter.messages().join("|").toStdString();
    {
        // Each channel ends at the visit after its 30th sample.
        const int end1 = console->view().endSample[0], end2 = console->view().endSample[1];
        EXPECT_EQ(end1, 30);
        EXPECT_EQ(end2, 30);
        LocalDb local(localFile(TestKind::Leakage));
        EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"漏电流参数\"")).toInt(), 3);
        EXPECT_EQ(local.value(QStringLiteral("SELECT \"采样次数\" FROM \"漏电流参数\" WHERE \"测试编号\" = 'L1HM'")).toInt(), end2);
        EXPECT_EQ(local.value(QStringLiteral("SELECT \"漏电流特性\" FROM \"漏电流参数\" WHERE \"测试编号\" = 'L1HM'")).toString(),
                  console->state().field(Field::LeakageJudgement, 1));
        EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"L1HL\"")).toInt(), end1);
    }
    ASSERT_TRUE(console->batchStore().ensureSchema().isEmpty());
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter")), u"0");

    // An electrolyte run stopped by the operator is kept with what it has.
    console->selectKind(0, TestKind::Electrolyte);
    for (int c = 0; c < 3; ++c) set(Field::ElecTestNumber, c, QStringLiteral("E1"));
    prompter.answers = {true, true};
    console->toolbarCommand(QStringLiteral("test16"));
    ASSERT_TRUE(waitFor([&] { return console->state().n > 15; }));
    console->toolbarCommand(QStringLiteral("test16"));
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    LocalDb local(localFile(TestKind::Electrolyte));
    EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"电解液参数\"")).toInt(), 1);
    EXPECT_GE(local.value(QStringLiteral("SELECT COUNT(*) FROM \"E1HL\"")).toInt(), 15);
}

TEST_P(EndToEnd, ARunOverEthernetEndsAndIsSaved) {
    auto sim = std::make_unique<QProcess>();
    sim->start(QStringLiteral(VARNOT_SIM_PROGRAM), {QStringLiteral("--tcp"), QStringLiteral("0")});
    ASSERT_TRUE(sim->waitForStarted());
    ASSERT_TRUE(waitFor([&] { return sim->canReadLine(); }));
    const QString line = QString::fromLocal8Bit(sim->readLine()).trimmed();  // "tcp: 127.0.0.1:PORT"
    simulators.push_back(std::move(sim));
    console->state().ipAddress = QStringLiteral("127.0.0.1");
    console->state().tcpPort = line.section(u':', -1);
    console->connection().ethernetToggle();
    ASSERT_TRUE(waitFor([&] { return console->state().g_Connect == 1 && console->state().tempOk; }))
        << line.toStdString() << " " << prompter.messages().join("|").toStdString();
    EXPECT_EQ(console->state().openPort, 0);  // no serial port: the Ethernet link is enough
    group(QStringLiteral("N1"), {QStringLiteral("HL"), QStringLiteral("HM"), QStringLiteral("HR")}, QStringLiteral("5"));
    prompter.answers = {true, true, true, false, false};  // start, save, sheet 1 stored, 2 and 3 declined
    runToEnd("test13");
    EXPECT_NE(console->state().field(Field::TvJudgement, 0), u"待定");
    EXPECT_EQ(batchCount("Part_Parameter", QStringLiteral("N1")), 1);
    // A declined sheet leaves nothing of its channel, locally neither.
    EXPECT_TRUE(console->testDatabases().recordExists(TestKind::TV, QStringLiteral("N1HL")));
    EXPECT_FALSE(console->testDatabases().recordExists(TestKind::TV, QStringLiteral("N1HR")));
}

INSTANTIATE_TEST_SUITE_P(Engines, EndToEnd, ::testing::Values(Engine::SQLite, Engine::PostgreSQL));
