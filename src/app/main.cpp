// The console program. Options: --demo starts the simulated instrument on a pseudo-terminal and maps
// COM1 to it; --settings FILE uses another settings file; --connect n opens COMn; --start presses
// 1-3测试开始 once the link is up; --speed x runs the intervals x times faster; --tab n shows tab n
// first; --lang en shows the console in English, --lang zh in Chinese (without it, the system's
// language chooses: English for an English locale, Chinese otherwise); --report-startup prints the
// resident memory once the window is shown; --screenshot FILE saves a picture of the window a few
// seconds after it is shown and exits (questions are then answered Yes and messages printed, as
// nobody is there to click); --unattended answers and prints them so as well, without the picture.
// After a run that never ended in order (a crash, a kill, a power cut) the console first offers it
// back.
#include "acquisition/plot_surface.h"
#include "console/console.h"
#include "console/console_window.h"
#include "console/qt_prompter.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"
#include "storage/odbc_registration.h"
#include "ui_text/ui_text.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QFont>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace varnot;

namespace {

// Stands in for the operator when the console runs unattended under a virtual display.
class UnattendedPrompter : public Prompter {
public:
    void message(const QString& text, const QString&) override { say("message", text); }
    bool question(const QString& text, const QString&) override {
        say("question (Yes)", text);
        return true;
    }
    QString saveFileName(const QString& proposedName, const QString&) override { return proposedName; }

private:
    static void say(const char* kind, const QString& text) {
        std::printf("%s: %s\n", kind, qPrintable(uiText(text)));
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationName));
    installCjkFaces();
    QFont ui(QStringLiteral("WenQuanYi Micro Hei"));
    ui.setPointSize(9);
    QApplication::setFont(ui);

    QCommandLineParser args;
    args.addHelpOption();
    const QCommandLineOption demo("demo", "Start the simulated instrument and map COM1 to it.");
    const QCommandLineOption settingsFile("settings", "Settings file to use.", "file");
    const QCommandLineOption screenshot("screenshot", "Save a picture of the window and exit.", "file");
    const QCommandLineOption connectPort("connect", "Open serial port COMn once the window is up.", "n");
    const QCommandLineOption reportStartup("report-startup",
                                           "Print the resident memory once the window is shown, and exit.");
    const QCommandLineOption start("start", "Press 1-3测试开始 once the link is up and the bath is inside its window.");
    const QCommandLineOption tab("tab", "Show tab n (0..5) first.", "n", "0");
    const QCommandLineOption speed("speed", "Run every interval this many times faster (demo).", "x", "1");
    const QCommandLineOption unattendedRun("unattended", "Answer every question Yes and print every message.");
    const QCommandLineOption lang("lang", "Language of the console: zh (Chinese) or en (English).", "language");
    args.addOptions({demo, settingsFile, screenshot, connectPort, reportStartup, start, speed, tab, unattendedRun, lang});
    args.process(app);
    if (!setUiLanguage(chooseUiLanguage(args.value(lang), QLocale::system())))
        std::fprintf(stderr, "the English texts cannot be loaded; the console stays in Chinese\n");

    // Where nobody has defined the batch data source "result" (a fresh install), the user gets one
    // of their own on the SQLite ODBC driver, so saving works from the first run.
    const SourceSetupResult batchSource =
        ensureSqliteSource(QStringLiteral("result"), defaultBatchDatabaseFile());
    if (batchSource.outcome == SourceSetup::Registered)
        std::printf("ODBC data source \"result\" registered for this user: %s\n", qPrintable(batchSource.detail));
    else if (batchSource.outcome == SourceSetup::Failed)
        std::fprintf(stderr, "ODBC data source \"result\" could not be registered: %s\n",
                     qPrintable(batchSource.detail));
    std::fflush(stdout);

    std::unique_ptr<SettingsStore> settings = args.isSet(settingsFile)
                                                  ? std::make_unique<SettingsStore>(args.value(settingsFile))
                                                  : std::make_unique<SettingsStore>();
    const double faster = std::max(1.0, args.value(speed).toDouble());
    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<sim::PtyEndpoint> endpoint;
    if (args.isSet(demo)) {
        sim::Config config;
        // The demo foil follows the sample index, so its curves keep their shape at any speed.
        config.clock = sim::ClockMode::SampleIndex;
        config.channels[1] = *sim::ChannelProfile::preset(u"weak");
        config.channels[2] = *sim::ChannelProfile::preset(u"boiled");
        instrument = std::make_unique<sim::Instrument>(config);
        const QString path = QDir::temp().filePath(QStringLiteral("varnot-demo-com1"));
        endpoint = std::make_unique<sim::PtyEndpoint>(*instrument, path);
        // The demo line takes a real line's time, shortened with the console's intervals.
        endpoint->setLine({sim::LineTiming::kRealBaud, faster});
        if (!endpoint->open()) {
            std::fprintf(stderr, "demo instrument: %s\n", qPrintable(endpoint->errorString()));
            return 1;
        }
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"compath(1)", path);
        // The demo keeps its local test databases beside its settings, and starts with a test
        // number of its own and a tester, so a run can be saved as it is.
        if (settings->read(Section::Canshu, u"dbpath").isEmpty())
            settings->write(Section::Canshu, u"dbpath",
                            QFileInfo(settings->fileName()).absoluteDir().filePath(QStringLiteral("demo-databases")));
        const QString number = QStringLiteral("D") + QDateTime::currentDateTime().toString(QStringLiteral("MMddhhmmss"));
        for (int c = 0; c < 3; ++c) {
            settings->write(Section::Canshu, indexedKey("TVcsbh", c), number);
            if (settings->read(Section::Topic, indexedKey("LBUSER", c)).isEmpty())
                settings->write(Section::Topic, indexedKey("LBUSER", c), QStringLiteral("演示"));
        }
        std::printf("demo instrument on %s (COM1)\n", qPrintable(path));
        std::fflush(stdout);
    }

    QtPrompter windowPrompter;
    UnattendedPrompter unattended;
    Prompter& prompter =
        args.isSet(screenshot) || args.isSet(unattendedRun) ? static_cast<Prompter&>(unattended) : windowPrompter;
    Console console(*settings, prompter, Timing{1.0 / faster});
    console.load();
    ConsoleWindow window(console);
    windowPrompter.setParent(&window);
    window.setPrompter(prompter);
    window.showTab(args.value(tab).toInt());
    window.show();
    // A run cut short last time is offered back once the window shows, so its curves are seen.
    if (!args.isSet(reportStartup)) QTimer::singleShot(0, &console, [&console] { console.recoverInterruptedRun(); });

    // The demo comes up connected to its instrument on COM1.
    if (args.isSet(connectPort) || args.isSet(demo)) {
        const int port = args.isSet(connectPort) ? args.value(connectPort).toInt() : 1;
        QTimer::singleShot(300, &console, [&console, port] { console.connection().serialConnect(port); });
    }
    if (args.isSet(start)) {
        // Pressed once: when the port is open and the bath temperature has been read inside its
        // window.
        auto* waiting = new QTimer(&console);
        QObject::connect(waiting, &QTimer::timeout, &console, [&console, waiting] {
            if (console.state().openPort == 0 || !console.state().tempOk) return;
            waiting->stop();
            console.toolbarCommand(QStringLiteral("test13"));
        });
        waiting->start(50);
    }
    if (args.isSet(reportStartup)) {
        // The first turn of the event loop after show(): the window has been laid out and exposed.
        QTimer::singleShot(0, &window, [] {
            QFile status(QStringLiteral("/proc/self/status"));
            QByteArray rss = "unknown";
            if (status.open(QIODevice::ReadOnly))
                for (const QByteArray& line : status.readAll().split('\n'))
                    if (line.startsWith("VmRSS:")) rss = line.mid(6).trimmed();
            std::printf("window shown, resident memory %s\n", rss.constData());
            std::fflush(stdout);
            QApplication::quit();
        });
    }
    if (args.isSet(screenshot)) {
        const QString file = args.value(screenshot);
        QTimer::singleShot(4000, &window, [&window, file] {
            window.grab().save(file);
            std::printf("screenshot: %s\n", qPrintable(file));
            std::fflush(stdout);
            QApplication::quit();
        });
    }
    return app.exec();
}
