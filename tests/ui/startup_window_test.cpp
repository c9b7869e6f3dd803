// The console window as it comes up and as it goes away, the help window, and the operator fields
// of the link and the temperature window, driven through the window's own widgets.
#include "console/console.h"
#include "console/console_window.h"
#include "console/help_window.h"
#include "link/link_texts.h"
#include "settings/field_catalogue.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"
#include "sim/tcp_endpoint.h"
#include "support/event_wait.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace varnot;
using namespace varnot::link_texts;
using varnot::testing::waitFor;

namespace {

class StartUpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        if (prepare) prepare(*settings);
        console = std::make_unique<Console>(*settings, prompter, Timing{0.5}, [] { return QDate(2026, 12, 10); });
        console->load();
        window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override {
        window.reset();
        console->connection().closeAll();
    }

    ConsoleState& state() { return console->state(); }
    template <typename T>
    T* named(const QString& name) {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QWidget* editor(Field f, int ch) {
        return named<QWidget>(QString::fromLatin1(fieldSpec(f).legacyId) + QStringLiteral("(%1)").arg(ch));
    }
    QAction* button(const QString& key) { return named<QAction>(key); }
    QAction* menuEntry(const QString& text) {
        for (QAction* a : window->menuBar()->findChildren<QAction*>())
            if (a->text() == text) return a;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    QLineEdit* operatorField(const char* id) { return named<QLineEdit>(QString::fromLatin1(id)); }
    // Types into a field as the operator does; the field keeps the focus until something takes it.
    void typeInto(QLineEdit* edit, const QString& text) {
        window->showTab(3);
        edit->setFocus();
        ASSERT_TRUE(waitFor([&] { return edit->hasFocus(); }));
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void typeAndEnter(QLineEdit* edit, const QString& text) {
        typeInto(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // The simulated instrument on a loopback port, its bath steady at 85 ℃.
    void listen() {
        sim::Config config;
        config.link.steadyTemperature = true;
        instrument = std::make_unique<sim::Instrument>(config);
        endpoint = std::make_unique<sim::TcpEndpoint>(*instrument);
        ASSERT_TRUE(endpoint->listen(0));
    }
    void connectEthernet() {
        listen();
        typeInto(operatorField("Text41"), QStringLiteral("127.0.0.1"));
        typeInto(operatorField("Text42"), QString::number(endpoint->port()));
        menuEntry(kEthernetConnect)->trigger();
        ASSERT_TRUE(waitFor([&] { return console->connection().ethernetConfirmed(); }));
    }
    QByteArray storeBytes() {
        settings->sync();
        QFile f(settings->fileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::function<void(SettingsStore&)> prepare;
    QTemporaryDir dir;
    varnot::testing::ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<sim::TcpEndpoint> endpoint;
};

// A store left by earlier work: channel 1's test number and formation voltage, a calibration, the
// combined zoom, a save counter, group 1-3 on the leakage test and unlinked, group 4-6 on the
// electrolyte test, the instrument's address and the temperature window.
class AfterEarlierWork : public StartUpWindow {
protected:
    void SetUp() override {
        prepare = [](SettingsStore& s) {
            const auto put = [&](const char16_t* key, const char* text) {
                s.write(Section::Canshu, QStringView(key), QString::fromUtf8(text));
            };
            put(u"TVcsbh(0)", "B7");
            put(u"hcdy(0)", "450");
            put(u"Vadjust(1)", "1.02");
            put(u"hxfd16", "0.5");
            put(u"存储运行标志", "5");
            put(u"option5(0)", "False");
            put(u"option6(0)", "True");
            put(u"option8(0)", "False");
            put(u"option9(0)", "True");
            put(u"option5(1)", "False");
            put(u"option7(1)", "True");
            put(u"ipaddress", "10.0.0.9");
            put(u"tcpport", "5020");
            put(u"templow", "80");
            put(u"temphigh", "90");
        };
        StartUpWindow::SetUp();
    }
};

}  // namespace

// --- Right after start-up --------------------------------------------------------------------------

TEST_F(AfterEarlierWork, TheConsoleComesUpInItsFixedState) {
    // Placed by the centring rule on its screen.
    const QScreen* screen = window->screen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(window->frameGeometry().topLeft(),
              centredTopLeft(screen->availableGeometry(), window->frameGeometry().size()));

    // Channels 1-3: their selectors hold the six codes in order, they run the TV test and are
    // linked, whatever group 1-3's stored switches say; group 4-6 keeps its stored kind.
    for (int ch = 0; ch < 3; ++ch)
        for (Field f : {Field::TvPosition, Field::ElecPosition}) {
            auto* box = qobject_cast<QComboBox*>(editor(f, ch));
            ASSERT_NE(box, nullptr);
            QStringList items;
            for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
            EXPECT_EQ(items, (QStringList{"HL", "TL", "HM", "TM", "HR", "TR"})) << ch;
            EXPECT_EQ(box->currentText(), (QStringList{"HL", "HM", "HR"})[ch]) << ch;
        }
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_EQ(state().kind[ch], TestKind::TV) << ch;
        EXPECT_TRUE(console->linked()[ch]) << ch;
        EXPECT_TRUE(state().chStopped[ch] && state().chEnded[ch]) << ch;
    }
    const auto radio = [&](const char* text, int nth) {
        QList<QRadioButton*> found;
        for (QRadioButton* r : window->findChildren<QRadioButton*>())
            if (r->text() == QString::fromUtf8(text)) found << r;
        return found.value(nth);
    };
    EXPECT_TRUE(radio("TV测试：", 0)->isChecked());
    EXPECT_TRUE(radio("电解液：", 1)->isChecked());
    for (int ch = 3; ch < 6; ++ch) EXPECT_EQ(state().kind[ch], TestKind::Electrolyte) << ch;

    // The fields: the TV fields of channels 1-3 are the editable ones, leakage and electrolyte
    // fields are not; group 4-6 edits its electrolyte fields.
    struct Enabled {
        Field field;
        bool channels13, channels46;
    };
    const Enabled enabled[] = {
        {Field::FormationVoltage, true, false}, {Field::VrRatio, true, false},
        {Field::RiseTimeLimit, true, false},    {Field::DelayTime, true, false},
        {Field::LeakageVoltage, false, false},  {Field::LeakageLimit, false, false},
        {Field::LeakageTestTime, false, false}, {Field::ElecSetVoltage, false, true},
        {Field::ElecCurrent, false, true},      {Field::SparkDelay, false, true},
    };
    for (const Enabled& e : enabled)
        for (int ch = 0; ch < 6; ++ch)
            EXPECT_EQ(editor(e.field, ch)->isEnabled(), ch < 3 ? e.channels13 : e.channels46)
                << fieldSpec(e.field).legacyId << " ch" << ch + 1;

    // Restored from the store for channels 1-3 only, today's date on both frames.
    EXPECT_EQ(qobject_cast<QLineEdit*>(editor(Field::FormationVoltage, 0))->text(), u"450");
    EXPECT_EQ(qobject_cast<QLineEdit*>(editor(Field::FormationVoltage, 3))->text(), u"800");
    EXPECT_EQ(qobject_cast<QLineEdit*>(editor(Field::TvTestDate, 2))->text(), u"2026/12/10");
    EXPECT_EQ(qobject_cast<QLineEdit*>(editor(Field::ElecTestDate, 0))->text(), u"2026/12/10");
    EXPECT_EQ(console->dateStamp(), u"20261210");
    EXPECT_FLOAT_EQ(state().coefficients.Vadjust[1], 1.02f);
    EXPECT_FLOAT_EQ(console->plots().hxfd16, 0.5f);

    // The save counter starts again, in memory and in the store.
    EXPECT_EQ(console->storedCount(), 0);
    EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), u"0");

    // The batch tab starts from channel 1's test number and formation voltage.
    QStringList batchTexts;
    for (QLineEdit* e : qobject_cast<QTabWidget*>(window->centralWidget())->widget(5)->findChildren<QLineEdit*>())
        batchTexts << e->text();
    EXPECT_EQ(console->batch().field(BatchField::Serial), u"B7");
    EXPECT_EQ(console->batch().field(BatchField::VF), u"450");
    EXPECT_TRUE(batchTexts.contains(u"B7") && batchTexts.contains(u"450")) << batchTexts.join(u' ').toStdString();

    // No link, no run, no timer, no current curve.
    EXPECT_EQ(state().g_Connect, 0);
    EXPECT_TRUE(state().serialMode);
    EXPECT_EQ(state().n, 0);
    EXPECT_FALSE(state().testRun);
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_FALSE(console->supervising());
    EXPECT_FALSE(console->currentVisible());

    // The toolbar is shown with the starts of fewer channels and the Ethernet button off; the
    // zoom entries of the channel plots are on.
    EXPECT_TRUE(window->findChild<QToolBar*>()->isVisible());
    EXPECT_FALSE(button(kKeyTest46)->isEnabled());
    EXPECT_FALSE(button(kKeyTest16)->isEnabled());
    EXPECT_FALSE(button(kKeyEthernet)->isEnabled());
    EXPECT_TRUE(button(kKeyTest13)->isEnabled());
    EXPECT_TRUE(menuEntry(kEthernetConnect)->isEnabled());
    EXPECT_TRUE(menuEntry(QStringLiteral("1-6通道时间轴坐标放大"))->isEnabled());
    EXPECT_TRUE(menuEntry(QStringLiteral("1-6通道时间轴坐标缩小"))->isEnabled());

    // The six channel plots are the visible ones, each with its axes drawn.
    for (int ch = 0; ch < 6; ++ch) {
        EXPECT_TRUE(console->plots().TV[ch]->visible) << ch;
        EXPECT_FALSE(console->plots().TV[ch]->image().isNull()) << ch;
    }
    for (int p = 0; p < 3; ++p) EXPECT_FALSE(console->plots().TV16[p]->visible) << p;

    // The operator fields show what was stored.
    EXPECT_EQ(operatorField("Text41")->text(), u"10.0.0.9");
    EXPECT_EQ(operatorField("Text42")->text(), u"5020");
    EXPECT_EQ(operatorField("Text44")->text(), u"80");
    EXPECT_EQ(operatorField("Text45")->text(), u"90");
}

TEST_F(StartUpWindow, RangeHintsStandBesideTheirFields) {
    struct Case {
        Field field;
        int ch;
        const char* hint;
    };
    const Case cases[] = {
        {Field::FormationVoltage, 0, "电压范围1～1000"}, {Field::TestCurrent, 5, "电流范围0.2～15mA"},
        {Field::LeakageVoltage, 1, "电压范围10～1000"}, {Field::ElecCurrent, 3, "电流范围0.5～20mA"},
        {Field::ElecSetVoltage, 2, "电压范围10～1000"},
    };
    for (const Case& c : cases) {
        window->showTab(c.field >= Field::ElecCurrent ? 4 : 3);
        QWidget* field = editor(c.field, c.ch);
        ASSERT_TRUE(waitFor([&] { return field->isVisible() && field->geometry().bottom() > 0; }));
        const QString name = QStringLiteral("hint") + QString::fromLatin1(fieldSpec(c.field).legacyId) +
                             QStringLiteral("(%1)").arg(c.ch);
        QLabel* hint = named<QLabel>(name);
        ASSERT_NE(hint, nullptr);
        EXPECT_EQ(hint->text(), QString::fromUtf8(c.hint));
        // In the same frame as the field, right under it.
        EXPECT_EQ(hint->parentWidget(), field->parentWidget()) << name.toStdString();
        EXPECT_GE(hint->geometry().top(), field->geometry().bottom()) << name.toStdString();
        EXPECT_EQ(hint->geometry().left(), field->geometry().left()) << name.toStdString();
    }
}

// --- The help window -------------------------------------------------------------------------------

namespace {

// A caption as the help names it: without its accelerator, "文件(&F)" -> "文件".
QString plainCaption(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)$")));
    return text.remove(u'&');
}

}  // namespace

TEST_F(StartUpWindow, HelpOpensFromTheMenuAndNamesEveryCommand) {
    menuEntry(QStringLiteral("帮助(&H)"))->trigger();
    HelpWindow* help = window->helpWindow();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    EXPECT_EQ(help->windowTitle(), u"帮助");
    EXPECT_FALSE(help->isModal());
    const QString text = help->browser()->toPlainText();
    // The guide walks through connecting, the parameters, a run, saving, queries, printing and
    // calibration, and the operator fields of this console.
    for (const char* topic : {"连接仪器", "设置参数", "运行测试", "保存", "查询", "打印", "校准", "IP", "端口", "设置温度："})
        EXPECT_TRUE(text.contains(QString::fromUtf8(topic))) << topic;
    // Every menu, menu entry and toolbar button of the console is named in it.
    QStringList missing;
    const std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) continue;
            if (!text.contains(plainCaption(a->text()))) missing << a->text();
            if (a->menu()) walk(a->menu());
        }
    };
    for (QAction* a : window->menuBar()->actions()) {
        if (!text.contains(plainCaption(a->text()))) missing << a->text();
        if (a->menu()) walk(a->menu());
    }
    for (QAction* a : window->findChild<QToolBar*>()->actions())
        if (!text.contains(plainCaption(a->text()))) missing << a->text();
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u", ").toStdString();
    // Every link of the guide's table of contents leads to a section of it.
    QFile source(QString::fromLatin1(kHelpDocument).mid(3));  // ":/help/..."
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(source.readAll());
    int links = 0;
    for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("href=\"#(\\w+)\"")).globalMatch(html)) {
        ++links;
        EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(m.captured(1)))) << m.captured(1).toStdString();
    }
    EXPECT_GE(links, 9);

    // A second 帮助 brings the same window to the front.
    menuEntry(QStringLiteral("帮助(&H)"))->trigger();
    EXPECT_EQ(window->helpWindow(), help);
    EXPECT_EQ(window->findChildren<HelpWindow*>().size(), 1);
}

// --- Operator fields -------------------------------------------------------------------------------

TEST_F(StartUpWindow, TheEthernetToggleConnectsToTheAddressAndPortTypedAndKeepsThem) {
    listen();
    typeInto(operatorField("Text41"), QStringLiteral("127.0.0.1"));
    // The port is still being typed when the menu entry is chosen: the entry is completed first.
    typeInto(operatorField("Text42"), QString::number(endpoint->port()));
    ASSERT_TRUE(operatorField("Text42")->hasFocus());
    menuEntry(kEthernetConnect)->trigger();
    ASSERT_TRUE(waitFor([&] { return console->connection().ethernetConfirmed(); }));
    EXPECT_TRUE(endpoint->hasClient());
    EXPECT_EQ(state().statusPanels[6], kEthernetOk);
    EXPECT_EQ(menuEntry(kEthernetDisconnect)->text(), kEthernetDisconnect);
    EXPECT_EQ(settings->read(Section::Canshu, u"ipaddress"), u"127.0.0.1");
    EXPECT_EQ(settings->read(Section::Canshu, u"tcpport"), QString::number(endpoint->port()));

    // A port that cannot be one is not taken: the field shows the port in use again.
    typeAndEnter(operatorField("Text42"), QStringLiteral("70000"));
    EXPECT_EQ(operatorField("Text42")->text(), QString::number(endpoint->port()));
    EXPECT_EQ(settings->read(Section::Canshu, u"tcpport"), QString::number(endpoint->port()));

    // The next start comes up with them.
    window.reset();
    console->unload();
    Console next(*settings, prompter);
    next.load();
    ConsoleWindow again(next);
    EXPECT_EQ(again.findChild<QLineEdit*>(QStringLiteral("Text41"))->text(), u"127.0.0.1");
    EXPECT_EQ(again.findChild<QLineEdit*>(QStringLiteral("Text42"))->text(), QString::number(endpoint->port()));
}

TEST_F(StartUpWindow, TheTemperatureWindowGatesTheStartsAndIsKept) {
    connectEthernet();
    ASSERT_TRUE(waitFor([&] { return state().tempOk && button(kKeyTest13)->isEnabled(); }));
    const auto startsEnabled = [&] {
        return button(kKeyTest13)->isEnabled() || button(kKeyTest46)->isEnabled() || button(kKeyTest16)->isEnabled();
    };
    // The bath reads 85: a lower bound above it closes the starts.
    typeAndEnter(operatorField("Text44"), QStringLiteral("85.5"));
    EXPECT_EQ(state().tempLow, u"85.5");
    ASSERT_TRUE(waitFor([&] { return !state().tempOk && !startsEnabled(); }));
    EXPECT_EQ(settings->read(Section::Canshu, u"templow"), u"85.5");

    // A lower bound above the upper one is not taken.
    typeAndEnter(operatorField("Text44"), QStringLiteral("88"));
    EXPECT_EQ(operatorField("Text44")->text(), u"85.5");
    EXPECT_EQ(settings->read(Section::Canshu, u"templow"), u"85.5");

    // A window that holds 85 again, its bound exactly at the temperature, opens them.
    typeAndEnter(operatorField("Text45"), QStringLiteral("90"));
    typeAndEnter(operatorField("Text44"), QStringLiteral("85"));
    ASSERT_TRUE(waitFor([&] {
        return state().tempOk && button(kKeyTest13)->isEnabled() && button(kKeyTest46)->isEnabled() &&
               button(kKeyTest16)->isEnabled();
    }));
    EXPECT_EQ(settings->read(Section::Canshu, u"temphigh"), u"90");
    EXPECT_EQ(settings->read(Section::Canshu, u"templow"), u"85");
}

// --- Going away ------------------------------------------------------------------------------------

TEST_F(StartUpWindow, ClosingDuringARunClosesTheSocketStopsTheRunAndWritesNothing) {
    connectEthernet();
    ASSERT_TRUE(waitFor([&] { return state().tempOk && button(kKeyTest13)->isEnabled(); }));
    menuEntry(QStringLiteral("帮助(&H)"))->trigger();
    QPointer<HelpWindow> help = window->helpWindow();
    ASSERT_TRUE(help && help->isVisible());
    console->recordExists = [](int) { return false; };
    prompter.answers = {true};
    QTest::mouseClick(window->findChild<QToolBar*>()->widgetForAction(button(kKeyTest13)), Qt::LeftButton);
    ASSERT_TRUE(console->supervising());
    ASSERT_TRUE(waitFor([&] { return state().n > 2; }));

    // An address typed but never completed is not kept either.
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    typeInto(operatorField("Text41"), QStringLiteral("10.9.9.9"));
    const QByteArray before = storeBytes();
    prompter.answers = {true};  // 测试正在进行，确定要退出吗？
    window->close();  // closes once the instrument has answered the stop
    ASSERT_TRUE(waitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(prompter.count(QStringLiteral("测试正在进行，确定要退出吗？")), 1);
    EXPECT_FALSE(console->supervising());
    EXPECT_FALSE(state().testRun);
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_EQ(state().g_Connect, 0);
    ASSERT_TRUE(waitFor([&] { return !endpoint->hasClient(); }));
    EXPECT_TRUE(!help || !help->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(state().ipAddress, u"127.0.0.1");
}

TEST_F(StartUpWindow, ClosingClosesTheSerialPortAndWritesNothing) {
    sim::Instrument simulated{sim::Config{}};
    sim::PtyEndpoint pty(simulated, dir.filePath(QStringLiteral("com2")));
    ASSERT_TRUE(pty.open()) << pty.errorString().toStdString();
    settings->write(Section::Canshu, u"compath(2)", pty.linkPath());
    menuEntry(QStringLiteral("COM2"))->trigger();
    ASSERT_TRUE(waitFor([&] { return !console->connection().scanning(); }));
    ASSERT_TRUE(console->connection().serialOpen());
    ASSERT_TRUE(console->pollCycle().running());
    const QByteArray before = storeBytes();
    menuEntry(QStringLiteral("退出(&X)"))->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(console->connection().serialOpen());
    EXPECT_FALSE(console->pollCycle().running());
    QCoreApplication::processEvents();
    EXPECT_EQ(storeBytes(), before);
}
