#include "sim/pty_endpoint.h"

#include "sim/instrument.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace varnot::sim {

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

PtyEndpoint::PtyEndpoint(Instrument& instrument, QString linkPath, QObject* parent)
    : QObject(parent),
      instrument_(instrument),
      linkPath_(std::move(linkPath)),
      line_([this](const QByteArray& bytes) { send(bytes); }, monotonicSeconds) {}

PtyEndpoint::~PtyEndpoint() { close(); }

bool PtyEndpoint::open() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        error_ = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);

    termios tio{};
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);

    const QFileInfo existing(linkPath_);
    if (existing.isSymLink()) {
        QFile::remove(linkPath_);
    } else if (existing.exists()) {
        error_ = QStringLiteral("%1 exists and is not a symlink").arg(linkPath_);
        close();
        return false;
    }
    if (::symlink(name, QFile::encodeName(linkPath_).constData()) != 0) {
        error_ = QStringLiteral("symlink %1: %2").arg(linkPath_, QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    }
    linked_ = true;

    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyEndpoint::readMaster);
    return true;
}

void PtyEndpoint::close() {
    if (notifier_) {
        notifier_->setEnabled(false);
        delete notifier_;
        notifier_ = nullptr;
    }
    if (linked_) {
        // Only our own link: another simulator may have taken the path over since.
        if (QFileInfo(linkPath_).symLinkTarget() == QFileInfo(slavePath_).absoluteFilePath())
            QFile::remove(linkPath_);
        linked_ = false;
    }
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

void PtyEndpoint::readMaster() {
    char buf[512];
    QByteArray received;
    for (;;) {
        const ssize_t got = ::read(master_, buf, sizeof buf);
        if (got > 0) {
            received.append(buf, static_cast<qsizetype>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;  // EAGAIN: drained (EIO cannot happen while we hold the slave open)
    }
    const double start = line_.received(received.size());
    QList<qsizetype> ends;
    const QList<QByteArray> frames = assembler_.feed(received, &ends);
    for (qsizetype i = 0; i < frames.size(); ++i) {
        if (line_.timing().instant())
            answer(frames[i]);
        else
            line_.at(start + line_.timing().seconds(ends[i]), [this, frame = frames[i]] { answer(frame); });
    }
}

void PtyEndpoint::answer(const QByteArray& frame) {
    if (observer_) observer_(frame);
    if (Instrument::decodeCommand(frame).value_or(DecodedCommand{}).handshake) {
        // A console that handshakes starts afresh: answers it never read while its side was
        // closed would otherwise still be queued on the slave, or still be on their way.
        ::tcflush(slave_, TCIFLUSH);
        line_.clear();
    }
    const auto reply = instrument_.answer(frame, monotonicSeconds());
    if (!reply) return;
    const int delay = instrument_.answerDelayMs();
    if (delay <= 0) {
        line_.send(*reply);
    } else {
        QTimer::singleShot(delay, this, [this, bytes = *reply] { line_.send(bytes); });
    }
}

void PtyEndpoint::send(const QByteArray& bytes) {
    if (master_ < 0) return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (put > 0) {
            done += put;
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else {
            // Nobody reads the slave side and its queue is full: the answer is lost, as on a line.
            return;
        }
    }
}

}  // namespace varnot::sim
