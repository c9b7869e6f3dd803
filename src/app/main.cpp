// The console program. Options: --demo starts the simulated instrument on a pseudo-terminal and maps
// COM1 to it; --settings FILE uses another settings file; --screenshot FILE saves a picture of the
// window a few seconds after it is shown and exits.
#include "console/console.h"
#include "console/console_window.h"
#include "console/qt_prompter.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace varnot;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationName));
    // The plots and texts name their face "宋体"; it resolves to an installed CJK face.
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
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
    args.addOptions({demo, settingsFile, screenshot, connectPort, reportStartup});
    args.process(app);

    std::unique_ptr<SettingsStore> settings = args.isSet(settingsFile)
                                                  ? std::make_unique<SettingsStore>(args.value(settingsFile))
                                                  : std::make_unique<SettingsStore>();
    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<sim::PtyEndpoint> endpoint;
    if (args.isSet(demo)) {
        sim::Config config;
        config.clock = sim::ClockMode::WallTime;
        config.channels[1] = *sim::ChannelProfile::preset(u"weak");
        config.channels[2] = *sim::ChannelProfile::preset(u"boiled");
        instrument = std::make_unique<sim::Instrument>(config);
        const QString path = QDir::temp().filePath(QStringLiteral("varnot-demo-com1"));
        endpoint = std::make_unique<sim::PtyEndpoint>(*instrument, path);
        if (!endpoint->open()) {
            std::fprintf(stderr, "demo instrument: %s\n", qPrintable(endpoint->errorString()));
            return 1;
        }
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"compath(1)", path);
        std::printf("demo instrument on %s (COM1)\n", qPrintable(path));
        std::fflush(stdout);
    }

    QtPrompter prompter;
    Console console(*settings, prompter);
    console.load();
    ConsoleWindow window(console);
    prompter.setParent(&window);
    if (const QScreen* screen = window.screen()) {
        const QRect r = screen->availableGeometry();
        window.move(r.x() + (r.width() - window.width()) / 2, r.y() + (r.height() - window.height()) / 2);
    }
    window.show();

    if (args.isSet(connectPort)) {
        const int port = args.value(connectPort).toInt();
        QTimer::singleShot(300, &console, [&console, port] { console.connection().serialConnect(port); });
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
