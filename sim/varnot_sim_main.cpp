// varnot-sim: the simulated instrument on a pseudo-terminal and/or a loopback TCP port.
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"
#include "sim/tcp_endpoint.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

using namespace varnot::sim;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "varnot-sim: %s\n", qPrintable(message));
    std::exit(2);
}

void say(const QString& line) {
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

int intValue(const QCommandLineParser& p, const QString& name, int lo, int hi) {
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < lo || v > hi)
        fail(QStringLiteral("bad value for --%1: '%2' (an integer %3..%4)").arg(name, p.value(name)).arg(lo).arg(hi));
    return v;
}

double doubleValue(const QCommandLineParser& p, const QString& name, double lo, double hi) {
    bool ok = false;
    const double v = p.value(name).toDouble(&ok);
    if (!ok || !(v >= lo && v <= hi))
        fail(QStringLiteral("bad value for --%1: '%2' (a number %3..%4)").arg(name, p.value(name)).arg(lo).arg(hi));
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnot-sim"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated six-channel test instrument. Answers the console's frames on a pseudo-terminal "
        "and/or a loopback TCP port until stopped (SIGINT/SIGTERM)."));
    const QString profiles = ChannelProfile::presetNames().join(QStringLiteral(", "));
    p.addOptions({
        {QStringLiteral("pty"), QStringLiteral("Create a pseudo-terminal with a symlink at <path>."), QStringLiteral("path")},
        {QStringLiteral("tcp"), QStringLiteral("Listen on 127.0.0.1:<port> (0: any free port)."), QStringLiteral("port")},
        {QStringLiteral("channel"),
         QStringLiteral("Profile of a channel, N 1..6 (repeatable). Profiles: %1. Default: fresh.").arg(profiles),
         QStringLiteral("N=profile")},
        {QStringLiteral("seed"), QStringLiteral("Seed of noise and sparks (default 1)."), QStringLiteral("n")},
        {QStringLiteral("clock"),
         QStringLiteral("Model clock: 'sample' (time = sample index of the frame, default) or 'wall'."),
         QStringLiteral("sample|wall")},
        {QStringLiteral("scale"), QStringLiteral("Wall clock: model seconds per wall second (default 1)."), QStringLiteral("x")},
        {QStringLiteral("temperature"), QStringLiteral("Bath (test) temperature set point in degC (default 85)."), QStringLiteral("t")},
        {QStringLiteral("delay"), QStringLiteral("Answer every frame after <ms> milliseconds."), QStringLiteral("ms")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("wrong-trailer"), QStringLiteral("Answer polls with a wrong trailer.")},
        {QStringLiteral("short"), QStringLiteral("Answer polls with fewer than 106 bytes.")},
        {QStringLiteral("long"), QStringLiteral("Answer with 107 bytes.")},
        {QStringLiteral("stop-after"), QStringLiteral("Fall silent after <n> poll answers."), QStringLiteral("n")},
        {QStringLiteral("drop-after"), QStringLiteral("TCP: close the connection after <n> poll answers."), QStringLiteral("n")},
        {QStringLiteral("trace"), QStringLiteral("Print every received frame, decoded.")},
        {QStringLiteral("baud"),
         QStringLiteral("Serial: the line's baud rate, 10 bits a byte; frames arrive and answers leave at its pace "
                        "(default 9600; 0: at once)."),
         QStringLiteral("n")},
        {QStringLiteral("speed"),
         QStringLiteral("Serial: the line runs x times faster, as a console started with the same --speed "
                        "(default 1)."),
         QStringLiteral("x")},
    });
    const QCommandLineOption help = p.addHelpOption();

    if (!p.parse(QCoreApplication::arguments())) fail(p.errorText());
    if (p.isSet(help)) {
        std::fputs(qPrintable(p.helpText()), stdout);
        return 0;
    }
    if (!p.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    if (!p.isSet(QStringLiteral("pty")) && !p.isSet(QStringLiteral("tcp")))
        fail(QStringLiteral("give --pty <path> and/or --tcp <port>"));

    Config config;
    for (const QString& spec : p.values(QStringLiteral("channel"))) {
        const auto parts = spec.split(u'=');
        bool ok = false;
        const int ch = parts.size() == 2 ? parts[0].toInt(&ok) : 0;
        const auto profile = ok ? ChannelProfile::preset(parts[1]) : std::nullopt;
        if (!ok || ch < 1 || ch > 6 || !profile)
            fail(QStringLiteral("bad value for --channel: '%1' (N=profile, N 1..6, profile one of %2)").arg(spec, profiles));
        config.channels[ch - 1] = *profile;
    }
    if (p.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        config.seed = p.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok) fail(QStringLiteral("bad value for --seed: '%1'").arg(p.value(QStringLiteral("seed"))));
    }
    if (p.isSet(QStringLiteral("clock"))) {
        const QString c = p.value(QStringLiteral("clock"));
        if (c == u"sample") config.clock = ClockMode::SampleIndex;
        else if (c == u"wall") config.clock = ClockMode::WallTime;
        else fail(QStringLiteral("bad value for --clock: '%1' (sample or wall)").arg(c));
    }
    if (p.isSet(QStringLiteral("scale"))) config.wallScale = doubleValue(p, QStringLiteral("scale"), 1e-3, 1e4);
    if (p.isSet(QStringLiteral("temperature")))
        config.link.testTemperatureC = doubleValue(p, QStringLiteral("temperature"), 45.0, 150.0);
    if (p.isSet(QStringLiteral("delay"))) config.link.answerDelayMs = intValue(p, QStringLiteral("delay"), 0, 600000);
    config.link.silent = p.isSet(QStringLiteral("silent"));
    config.link.wrongTrailer = p.isSet(QStringLiteral("wrong-trailer"));
    config.link.shortAnswer = p.isSet(QStringLiteral("short"));
    config.link.longAnswer = p.isSet(QStringLiteral("long"));
    if (config.link.shortAnswer && config.link.longAnswer) fail(QStringLiteral("--short and --long exclude each other"));
    if (p.isSet(QStringLiteral("stop-after")))
        config.link.stopAfterPolls = intValue(p, QStringLiteral("stop-after"), 0, 1 << 30);
    if (p.isSet(QStringLiteral("drop-after")))
        config.link.dropAfterPolls = intValue(p, QStringLiteral("drop-after"), 1, 1 << 30);
    LineTiming line{LineTiming::kRealBaud, 1.0};
    if (p.isSet(QStringLiteral("baud"))) line.baud = intValue(p, QStringLiteral("baud"), 0, 4000000);
    if (p.isSet(QStringLiteral("speed"))) line.speed = doubleValue(p, QStringLiteral("speed"), 1e-3, 1e4);
    quint16 tcpPort = 0;
    if (p.isSet(QStringLiteral("tcp"))) tcpPort = static_cast<quint16>(intValue(p, QStringLiteral("tcp"), 0, 65535));

    Instrument instrument(config);
    std::function<void(const QByteArray&)> trace;
    if (p.isSet(QStringLiteral("trace"))) {
        trace = [](const QByteArray& frame) {
            if (const auto cmd = Instrument::decodeCommand(frame)) say(Instrument::describe(*cmd));
        };
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) fail(QStringLiteral("socketpair failed"));
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    std::unique_ptr<PtyEndpoint> pty;
    std::unique_ptr<TcpEndpoint> tcp;
    if (p.isSet(QStringLiteral("pty"))) {
        pty = std::make_unique<PtyEndpoint>(instrument, p.value(QStringLiteral("pty")));
        if (!pty->open()) fail(QStringLiteral("--pty: %1").arg(pty->errorString()));
        if (trace) pty->setFrameObserver(trace);
        pty->setLine(line);
        say(QStringLiteral("serial: %1 -> %2").arg(pty->linkPath(), pty->slavePath()));
    }
    if (p.isSet(QStringLiteral("tcp"))) {
        tcp = std::make_unique<TcpEndpoint>(instrument);
        if (!tcp->listen(tcpPort)) {
            pty.reset();  // removes the symlink
            fail(QStringLiteral("--tcp: %1").arg(tcp->errorString()));
        }
        if (trace) tcp->setFrameObserver(trace);
        say(QStringLiteral("tcp: 127.0.0.1:%1").arg(tcp->port()));
    }

    const int rc = QCoreApplication::exec();
    pty.reset();
    tcp.reset();
    return rc;
}
