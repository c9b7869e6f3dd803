// The long run behind scripts/soak: the console and its window with the simulated instrument on a
// pseudo-terminal (the line's time shortened with the intervals; every poll carries all six
// channels), a leakage test on the widest group a run takes, channels 1-3 (1-3测试开始), for the
// given number of samples, answered Yes at the end so that every channel is stored in the local
// leakage database under DIR/db. It prints what it does and exits 0 once the
// run has ended and its records are stored; the caller reads the database back.
//
//     soak_run DIR SAMPLES SPEED
#include "console/console.h"
#include "console/console_window.h"
#include "link/link_texts.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace varnot;

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Nobody is there: every question is answered Yes and every text printed.
class YesPrompter : public Prompter {
public:
    void message(const QString& text, const QString&) override { say(QStringLiteral("message: ") + text); }
    bool question(const QString& text, const QString&) override {
        say(QStringLiteral("question (Yes): ") + text);
        return true;
    }
    QString saveFileName(const QString& proposedName, const QString&) override { return proposedName; }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    bool samplesOk = false, speedOk = false;
    const int samples = args.value(2).toInt(&samplesOk);
    const double speed = args.value(3).toDouble(&speedOk);
    if (args.size() != 4 || !samplesOk || samples < 1 || samples > 6000 || !speedOk || speed < 1) {
        std::fprintf(stderr, "usage: soak_run DIR SAMPLES(1..6000) SPEED(>=1)\n");
        return 2;
    }
    const QDir dir(args[1]);
    QDir().mkpath(dir.path());

    auto settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
    settings->initialiseMissing();
    const QString port = dir.filePath(QStringLiteral("com1"));
    settings->write(Section::Canshu, u"compath(1)", port);
    settings->write(Section::Canshu, u"dbpath", dir.filePath(QStringLiteral("db")));

    sim::Config config;
    const char* profiles[] = {"leak-good", "leak-bad", "leak-good", "leak-bad", "leak-good", "leak-bad"};
    for (int c = 0; c < kChannels; ++c) config.channels[c] = *sim::ChannelProfile::preset(QString::fromLatin1(profiles[c]));
    auto instrument = std::make_unique<sim::Instrument>(config);
    auto endpoint = std::make_unique<sim::PtyEndpoint>(*instrument, port);
    endpoint->setLine({sim::LineTiming::kRealBaud, speed});
    if (!endpoint->open()) {
        std::fprintf(stderr, "instrument: %s\n", qPrintable(endpoint->errorString()));
        return 1;
    }

    YesPrompter prompter;
    auto console = std::make_unique<Console>(*settings, prompter, Timing{1.0 / speed});
    console->load();
    auto window = std::make_unique<ConsoleWindow>(*console);
    window->setPrompter(prompter);
    window->show();

    int rc = 1;
    bool started = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        ConsoleState& s = console->state();
        if (!started) {
            if (s.openPort == 0 || !s.tempOk) return;
            console->selectKind(0, TestKind::Leakage);
            for (int c = 0; c < 3; ++c) {
                s.field(Field::TvTestNumber, c) = QStringLiteral("SOAK");
                s.field(Field::LeakageVoltage, c) = QStringLiteral("100");
                s.field(Field::LeakageTestTime, c) = QString::number(samples);
                s.field(Field::LeakageLimit, c) = QStringLiteral("1");
            }
            console->toolbarCommand(link_texts::kKeyTest13);
            started = console->supervising();
            if (!started) {
                say(QStringLiteral("the run did not start"));
                QApplication::exit(1);
                return;
            }
            say(QStringLiteral("run started: %1 samples on channels 1-3 at %2 times the speed").arg(samples).arg(speed));
            return;
        }
        if (console->supervising()) return;
        say(QStringLiteral("run ended at sample %1; status: %2")
                .arg(console->view().endSample[0])
                .arg(s.statusPanels[6]));
        say(QStringLiteral("poll time-outs %1, resends %2")
                .arg(console->pollCycle().timeouts())
                .arg(console->pollCycle().resends()));
        rc = 0;
        QApplication::quit();
    });
    QTimer::singleShot(0, console.get(), [&] { console->connection().serialConnect(1); });
    driver.start(50);
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, [&] {
        if (started) say(QStringLiteral("sample %1").arg(console->state().n));
    });
    progress.start(10000);

    const int exitCode = QApplication::exec();
    driver.stop();
    progress.stop();
    window.reset();
    console->unload();
    console.reset();
    endpoint.reset();
    instrument.reset();
    settings.reset();
    return exitCode != 0 ? exitCode : rc;
}
