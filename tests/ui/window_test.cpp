// The console window over a loaded console: what the operator's commands act on, what the boxes
// and plots show, and the window going away, driven through the window's own widgets.
#include "acquisition/sampling.h"
#include "console/console.h"
#include "console/console_window.h"
#include "link/link_texts.h"
#include "settings/field_catalogue.h"
#include "sim/instrument.h"
#include "sim/tcp_endpoint.h"
#include "support/csv_reader.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QStyle>
#include <QTest>
#include <QToolBar>

#include "support/modal_prompter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

using namespace varnot;
using varnot::testing::waitFor;

namespace {

using varnot::testing::ModalPrompter;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"TVcsbh(0)", QStringLiteral("A100"));
        // Polls twice as often as the instrument's own interval, with time-outs that a busy machine
        // still meets.
        console = std::make_unique<Console>(*settings, prompter, Timing{0.5}, [] { return QDate(2026, 12, 10); });
        console->load();
        window = std::make_unique<ConsoleWindow>(*console);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override { window.reset(); }

    ConsoleState& state() { return console->state(); }
    QString field(Field f, int ch) const { return console->state().field(f, ch); }

    template <typename T>
    T* named(const QString& name) {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit* box(Field f, int ch) {
        return named<QLineEdit>(QString::fromLatin1(fieldSpec(f).legacyId) + QStringLiteral("(%1)").arg(ch));
    }
    static int tabOf(Field f) {
        if (f >= Field::LiveVoltage) return 0;
        return f >= Field::ElecCurrent ? 4 : 3;
    }
    QAction* button(const QString& key) { return named<QAction>(key); }
    void click(const QString& key) {
        QToolBar* bar = window->findChild<QToolBar*>();
        QTest::mouseClick(bar->widgetForAction(button(key)), Qt::LeftButton);
    }
    QAction* menuEntry(const QString& text) {
        for (QAction* a : window->menuBar()->findChildren<QAction*>())
            if (a->text() == text) return a;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    // Types into a field as the operator does: the field takes the focus, its text is selected and
    // overwritten (an empty text clears it).
    void typeInto(Field f, int ch, const QString& text) {
        window->showTab(tabOf(f));
        QLineEdit* edit = box(f, ch);
        edit->setFocus();
        ASSERT_TRUE(waitFor([&] { return edit->hasFocus(); }));
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
    }

    QTemporaryDir dir;
    ModalPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
};

// Whether a plot carries the colour at a point given in plot units (or a pixel beside it).
bool drawnAt(const PlotSurface& plot, double x, double y, const QColor& colour) {
    const QPoint p = plot.pixelAt(x, y);
    for (int dy = -1; dy <= 1; ++dy)
        if (plot.image().pixelColor(p.x(), p.y() + dy) == colour) return true;
    return false;
}

}  // namespace

// --- Commands act on completed entries -----------------------------------------------------------

TEST_F(WindowTest, EveryCommandFirstCompletesTheFieldBeingTypedIn) {
    struct Case {
        const char* what;
        QString typed;
        QString completed;
        std::function<void()> command;
    };
    // In order: a refused entry leaves what the one before it left.
    const Case cases[] = {
        {"toolbar 新建文件", QStringLiteral("300"), QStringLiteral("300"), [this] { click(QStringLiteral("new2")); }},
        {"menu 新建", QStringLiteral("abc"), QStringLiteral("300"), [this] { menuEntry(QStringLiteral("新建"))->trigger(); }},
        {"menu zoom", QStringLiteral("450"), QStringLiteral("450"),
         [this] { menuEntry(QStringLiteral("1-6通道时间轴坐标放大"))->trigger(); }},
    };
    for (const Case& c : cases) {
        QLineEdit* edit = box(Field::FormationVoltage, 0);
        typeInto(Field::FormationVoltage, 0, c.typed);
        ASSERT_EQ(field(Field::FormationVoltage, 0), c.typed) << c.what;
        c.command();
        // Taken (or refused), linked to all six channels, and shown in the field that still has the focus.
        EXPECT_TRUE(edit->hasFocus()) << c.what;
        EXPECT_EQ(edit->text(), c.completed) << c.what;
        for (int ch = 0; ch < kChannels; ++ch) EXPECT_EQ(field(Field::FormationVoltage, ch), c.completed) << c.what;
        EXPECT_EQ(box(Field::FormationVoltage, 4)->text(), c.completed) << c.what;
    }
}

TEST_F(WindowTest, AStartChecksTheCompletedTestNumbers) {
    // An emptied test number is filled from the store when its entry completes: the duplicate check
    // of the start must already see the filled number, on the edited channel and the linked ones.
    varnot::testing::connectInstrument(*console);
    QStringList checked;
    console->recordExists = [&](int ch) {
        checked << console->recordNameOf(ch);
        return false;
    };
    typeInto(Field::TvTestNumber, 0, QString());
    ASSERT_EQ(field(Field::TvTestNumber, 0), u"");
    prompter.answers = {false};
    click(QStringLiteral("test13"));
    EXPECT_EQ(checked, (QStringList{"A100HL", "A100HM", "A100HR"}));
    EXPECT_EQ(box(Field::TvTestNumber, 0)->text(), u"A100");
}

TEST_F(WindowTest, ClosingTheWindowCompletesTheFieldBeingTypedIn) {
    typeInto(Field::DelayTime, 1, QStringLiteral("150"));
    window->close();
    // 延迟时间 on channel 2: taken, and linked within the group.
    EXPECT_EQ(field(Field::DelayTime, 1), u"150");
    EXPECT_EQ(field(Field::DelayTime, 0), u"150");
}

TEST_F(WindowTest, AnEntryCompletedByACommandIsNotCompletedAgainWhenTheFieldIsLeft) {
    // Completing 化成电压 redraws its axes, which clears the plots and the curves on them: an entry
    // that a command completed must not clear what was drawn after it when the field is left.
    typeInto(Field::FormationVoltage, 0, QStringLiteral("300"));
    click(QStringLiteral("save2"));
    ASSERT_EQ(field(Field::FormationVoltage, 1), u"300");
    console->plots().TV[0]->line(1000, 1000, 2000, 1000, Qt::green);
    box(Field::VrRatio, 0)->setFocus();
    ASSERT_TRUE(waitFor([&] { return !box(Field::FormationVoltage, 0)->hasFocus(); }));
    EXPECT_TRUE(drawnAt(*console->plots().TV[0], 1500, 1000, Qt::green));
}

// --- The window going away -------------------------------------------------------------------------

TEST_F(WindowTest, AWindowBeingDestroyedNeitherFeedsNorFollowsTheModel) {
    typeInto(Field::FormationVoltage, 0, QStringLiteral("abc"));
    QSignalSpy changes(console.get(), &Console::changed);
    window.reset();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(field(Field::FormationVoltage, 0), u"abc");
    EXPECT_EQ(field(Field::FormationVoltage, 1), u"200");
}

// --- Start buttons around a start ------------------------------------------------------------------

class StartButtons : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        sim::Config config;
        config.link.steadyTemperature = true;
        instrument = std::make_unique<sim::Instrument>(config);
        endpoint = std::make_unique<sim::TcpEndpoint>(*instrument);
        ASSERT_TRUE(endpoint->listen(0));
        state().ipAddress = QStringLiteral("127.0.0.1");
        state().tcpPort = QString::number(endpoint->port());
        menuEntry(QStringLiteral("以太网连接"))->trigger();
        ASSERT_TRUE(waitFor([&] { return console->connection().ethernetConfirmed(); }));
        ASSERT_TRUE(waitFor([&] { return state().tempOk && button(QStringLiteral("test16"))->isEnabled(); }));
        for (int c = 0; c < kChannels; ++c) state().field(Field::DelayTime, c) = QStringLiteral("600");
    }
    void TearDown() override {
        window.reset();
        console->connection().closeAll();
    }
    // Lets two more answers of the instrument arrive.
    void twoPolls() {
        const int seen = instrument->pollsAnswered();
        ASSERT_TRUE(waitFor([&] { return instrument->pollsAnswered() >= seen + 2; }));
        QCoreApplication::processEvents();
    }
    struct Shown {
        QString caption13;
        bool enabled13, enabled46, enabled16;
    };
    Shown shown() {
        return {button(QStringLiteral("test13"))->text(), button(QStringLiteral("test13"))->isEnabled(),
                button(QStringLiteral("test46"))->isEnabled(), button(QStringLiteral("test16"))->isEnabled()};
    }

    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<sim::TcpEndpoint> endpoint;
};

TEST_F(StartButtons, ARefusedStartShowsTheStartCaptionAgain) {
    struct Case {
        const char* what;
        bool duplicate;
    };
    for (const Case& c : {Case{"No at the confirmation", false}, Case{"duplicate test number", true}}) {
        console->recordExists = [&](int) { return c.duplicate; };
        std::optional<Shown> whileAsked;
        prompter.whileOpen = [&] {
            twoPolls();
            whileAsked = shown();
        };
        prompter.answers = {false};
        click(QStringLiteral("test13"));
        prompter.whileOpen = nullptr;
        ASSERT_TRUE(whileAsked) << c.what;
        // While the box is open the polls go on, but the other starts stay off.
        EXPECT_EQ(whileAsked->caption13, u"1-3测试停止") << c.what;
        EXPECT_FALSE(whileAsked->enabled46) << c.what;
        EXPECT_FALSE(whileAsked->enabled16) << c.what;
        const Shown after = shown();
        EXPECT_EQ(after.caption13, u"1-3测试开始") << c.what;
        EXPECT_TRUE(after.enabled13 && after.enabled46 && after.enabled16) << c.what;
        EXPECT_FALSE(console->supervising()) << c.what;
        EXPECT_TRUE(state().chStopped[0]) << c.what;
    }
}

TEST_F(StartButtons, DuringARunNoStartButtonLooksEnabled) {
    console->recordExists = [](int) { return false; };
    prompter.whileOpen = [&] { twoPolls(); };
    prompter.answers = {true, false};
    click(QStringLiteral("test46"));
    prompter.whileOpen = nullptr;
    ASSERT_TRUE(console->supervising());
    twoPolls();
    Shown during = shown();
    EXPECT_FALSE(during.enabled13);
    EXPECT_FALSE(during.enabled16);
    EXPECT_TRUE(button(QStringLiteral("test46"))->isEnabled());
    EXPECT_EQ(button(QStringLiteral("test46"))->text(), u"1-2测试停止");
    click(QStringLiteral("stop16"));
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    twoPolls();
    const Shown after = shown();
    EXPECT_TRUE(after.enabled13 && after.enabled46 && after.enabled16);
    EXPECT_EQ(after.caption13, u"1-3测试开始");
}

TEST_F(StartButtons, ClosingDuringARunOrWithAnUnsavedTestAsksFirst) {
    console->recordExists = [](int) { return false; };
    prompter.answers = {true};
    click(QStringLiteral("test16"));
    ASSERT_TRUE(console->supervising());
    ASSERT_TRUE(waitFor([&] { return state().n > 3; }));
    // No keeps everything: the window, the run, the link.
    prompter.answers = {false};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(prompter.count(QStringLiteral("测试正在进行，确定要退出吗？")), 1);
    EXPECT_TRUE(console->supervising());
    EXPECT_TRUE(console->connection().ethernetConfirmed());
    prompter.answers = {false};  // the save question at the end of the run
    click(QStringLiteral("stop16"));
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    prompter.answers = {false};
    EXPECT_FALSE(window->close());
    EXPECT_EQ(prompter.count(QStringLiteral("测试数据尚未保存，确定要退出吗？")), 1);
    prompter.answers = {true};
    EXPECT_TRUE(window->close());
}

// --- Readout boxes ---------------------------------------------------------------------------------

TEST_F(WindowTest, ReadoutAndResultBoxesShowWholeValues) {
    // Group 1-3 runs the electrolyte test: its readouts carry the wider spark captions.
    console->selectKind(0, TestKind::Electrolyte);
    struct Case {
        Field field;
        const char* text;
    };
    const Case cases[] = {
        {Field::LiveVoltage, "1001.1"},   {Field::LiveCurrent, "10.011"},    {Field::ReadoutTA, "1001.1"},
        {Field::ReadoutTB, "1001.1"},     {Field::ReadoutVm, "1001.1"},      {Field::ReadoutVT, "10.011"},
        {Field::MaxVoltage, "1001.1"},    {Field::MinVoltage, "1001.1"},     {Field::Spark1Voltage, "1001.1"},
        {Field::Spark3Time, "6000"},      {Field::ElecJudgement, "不合格"},  {Field::LeakageCurrent, "10.011"},
        {Field::TvValue, "1001.1"},       {Field::TvJudgement, "不合格"},
    };
    for (const Case& c : cases)
        for (int ch = 0; ch < kChannels; ++ch) state().field(c.field, ch) = QString::fromUtf8(c.text);
    window->refresh();
    for (const Case& c : cases) {
        window->showTab(tabOf(c.field));
        for (int ch : {0, 2, 5}) {
            QLineEdit* edit = box(c.field, ch);
            const std::string what = std::string(fieldSpec(c.field).legacyId) + " ch " + std::to_string(ch);
            ASSERT_EQ(edit->text(), QString::fromUtf8(c.text)) << what;
            // The text fits inside the frame and the edit's own 2-pixel margins on either side,
            // so nothing of the value is scrolled out of view.
            const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
            const int inner = edit->contentsRect().width() - 2 * frame - 2 * 2;
            EXPECT_LT(QFontMetrics(edit->font()).horizontalAdvance(edit->text()), inner) << what;
        }
    }
}
// --- Curves on the plots ---------------------------------------------------------------------------

class PlotCurves : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        sim::Config config;
        config.link.steadyTemperature = true;
        instrument = std::make_unique<sim::Instrument>(config);
        varnot::testing::connectInstrument(*console);
        console->recordExists = [](int) { return false; };
        for (int c = 0; c < kChannels; ++c) {
            state().field(Field::FormationVoltage, c) = QStringLiteral("500");
            state().field(Field::DelayTime, c) = QStringLiteral("600");
        }
    }
    void startAndRun(int samples) {
        prompter.answers = {true, false};
        click(QStringLiteral("test13"));
        ASSERT_TRUE(console->supervising());
        varnot::testing::runToEnd(*console, *instrument, samples);
    }
    // Whether sample k of the channel is drawn where the plots' axes put its voltage: the channel
    // plot by the channel's own reference, the combined plots by the references given.
    void expectDrawn(int ch, int k, double groupRef, double allRef, const std::string& when) {
        const Plots& p = console->plots();
        const double V = console->curves().V[ch][k];
        const std::string what = when + " ch " + std::to_string(ch + 1) + " sample " + std::to_string(k);
        ASSERT_GT(V, 0) << what;
        EXPECT_TRUE(drawnAt(*p.TV[ch], xChannel(k, p.hxfd[ch]), yChannelVoltage(V, 500), Qt::red)) << what;
        EXPECT_TRUE(drawnAt(*p.TV16[groupOf(ch)], xGroup(ch, k, p.hxfd16), yGroupVoltage(V, groupRef), groupColour(ch)))
            << what;
        EXPECT_TRUE(drawnAt(*p.TV16[2], xAll(ch, k, p.hxfd16), yAllVoltage(V, allRef), allColour(ch))) << what;
    }
    void zoomIn() {
        menuEntry(QStringLiteral("1-6通道时间轴坐标放大"))->trigger();
        menuEntry(QStringLiteral("组合通道时间轴坐标放大"))->trigger();
    }

    std::unique_ptr<sim::Instrument> instrument;
};

TEST_F(PlotCurves, ZoomingRedrawsTheCurvesDrawnSoFarDuringAndAfterARun) {
    startAndRun(40);
    zoomIn();
    for (int ch = 0; ch < 3; ++ch)
        for (int k : {5, 20, 39}) expectDrawn(ch, k, 500, 500, "zoomed during the run");
    click(QStringLiteral("stop16"));
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    const float hxfd = console->plots().hxfd[0];
    zoomIn();
    ASSERT_EQ(console->plots().hxfd[0], 2 * hxfd);
    for (int ch = 0; ch < 3; ++ch)
        for (int k : {5, 20, 39}) expectDrawn(ch, k, 500, 500, "zoomed after the run");
}

TEST_F(PlotCurves, CombinedPlotsDrawEveryCurveOnTheirOwnAxis) {
    // Group 1-3 on TV, channel 2 not linked and formed at 300 V: the 1-3 plot is labelled with
    // channel 1's 500 V. Group 4-6 on the electrolyte test at 600 V: the 1-6 plot is labelled
    // with the larger reference, 600 V.
    console->selectLinkage(0, false);
    console->selectKind(1, TestKind::Electrolyte);
    state().field(Field::FormationVoltage, 1) = QStringLiteral("300");
    state().field(Field::ElecSetVoltage, 3) = QStringLiteral("600");
    startAndRun(30);
    const auto expectOnAxes = [&](const char* when) {
        const Plots& p = console->plots();
        for (int k : {10, 29}) {
            const double V2 = console->curves().V[1][k];
            EXPECT_TRUE(drawnAt(*p.TV16[0], xGroup(1, k, p.hxfd16), yGroupVoltage(V2, 500), groupColour(1)))
                << when << " sample " << k;
            for (int ch : {0, 1}) {
                const double V = console->curves().V[ch][k];
                EXPECT_TRUE(drawnAt(*p.TV16[2], xAll(ch, k, p.hxfd16), yAllVoltage(V, 600), allColour(ch)))
                    << when << " ch " << ch + 1 << " sample " << k;
            }
        }
    };
    expectOnAxes("drawn live");
    menuEntry(QStringLiteral("组合通道时间轴坐标放大"))->trigger();
    expectOnAxes("redrawn at the new scale");
}

// --- Export of the shown channels --------------------------------------------------------------------

TEST_F(PlotCurves, ExportCsvWritesTheShownChannelsAsTheReadoutsShowThem) {
    startAndRun(12);
    prompter.shown.clear();
    prompter.fileNames = {dir.filePath("curves.csv")};
    QAction* entry = named<QAction>(QStringLiteral("exportCsv"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("导出CSV"));
    entry->trigger();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "save");
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("2026-12-10-TV.csv"));
    EXPECT_TRUE(prompter.messages().isEmpty());

    const auto read = varnot::testing::readCsvFile(dir.filePath("curves.csv"));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->bom);
    EXPECT_TRUE(read->fault.isEmpty()) << read->fault.toStdString();
    ASSERT_GE(read->rows.size(), 3u + 10u);
    const auto& rows = read->rows;
    // Channels 1-3 (the active range), each with its test number and kind above its two columns.
    EXPECT_EQ(rows[0], QStringList({"测试编号", field(Field::TvTestNumber, 0) + field(Field::TvPosition, 0), "",
                                    field(Field::TvTestNumber, 1) + field(Field::TvPosition, 1), "",
                                    field(Field::TvTestNumber, 2) + field(Field::TvPosition, 2), ""}));
    EXPECT_TRUE(rows[0][1].startsWith(u"A100"));
    EXPECT_EQ(rows[1], QStringList({"测试类型", "TV测试", "", "TV测试", "", "TV测试", ""}));
    EXPECT_EQ(rows[2], QStringList({"时间(S)", "通道1电压(V)", "通道1电流(mA)", "通道2电压(V)", "通道2电流(mA)",
                                    "通道3电压(V)", "通道3电流(mA)"}));
    // One line a second, with the stored samples as the readouts write them (0.1 V, 0.001 mA).
    static const QRegularExpression volts(QStringLiteral("^-?\\d+\\.\\d$")), milliamps(QStringLiteral("^-?\\d+\\.\\d{3}$"));
    for (int k = 1; k <= 10; ++k) {
        const QStringList& line = rows[std::size_t(2 + k)];
        ASSERT_EQ(line.size(), 7) << k;
        EXPECT_EQ(line[0], QString::number(k));
        for (int ch = 0; ch < 3; ++ch) {
            const QString& V = line[1 + 2 * ch];
            const QString& I = line[2 + 2 * ch];
            EXPECT_TRUE(volts.match(V).hasMatch()) << V.toStdString();
            EXPECT_TRUE(milliamps.match(I).hasMatch()) << I.toStdString();
            EXPECT_FLOAT_EQ(V.toFloat(), console->curves().V[ch][k]) << "ch " << ch + 1 << " sample " << k;
            EXPECT_FLOAT_EQ(I.toFloat(), console->curves().I[ch][k]) << "ch " << ch + 1 << " sample " << k;
        }
    }
    EXPECT_GT(rows[12][1].toFloat(), 0);  // the voltage rose during the run
}
