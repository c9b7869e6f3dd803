#include "run/journal_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace varnot {
namespace {

const QString kSuffix = QStringLiteral(".journal");

bool lockExclusive(QFile& f) { return ::flock(f.handle(), LOCK_EX | LOCK_NB) == 0; }

// A new file's name reaches the disk only with its folder.
void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool RunJournal::begin(const JournalMeta& meta, const RunState& start, QString* error) {
    discard();
    sinceSync_.invalidate();
    failureTold_ = true;  // until the header is on disk, a failure is begin()'s to report
    const QString folder = meta.folder;
    QDir().mkpath(folder);
    const QString name = QStringLiteral("run-%1-%2-%3")
                             .arg(meta.group + 1)
                             .arg(QDateTime::fromMSecsSinceEpoch(meta.startedMs).toString(u"yyyyMMdd-HHmmsszzz"))
                             .arg(QCoreApplication::applicationPid()) +
                         kSuffix;
    file_.setFileName(QDir(folder).filePath(name));
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly) || !lockExclusive(file_)) {
        if (error) *error = file_.fileName() + QStringLiteral(": ") + file_.errorString();
        file_.close();
        return false;
    }
    firstCh_ = meta.firstCh;
    lastCh_ = meta.lastCh;
    last_ = start;
    if (!write(encodeHeader(meta, start), Reach::Disk)) {
        if (error) *error = file_.fileName() + QStringLiteral(": ") + file_.errorString();
        discard();
        return false;
    }
    syncFolder(folder);
    failureTold_ = false;
    return true;
}

void RunJournal::tick(const RunState& now, const Curves& curves, int k) {
    if (!active()) return;
    JournalChanges c = changesBetween(last_, now, firstCh_, lastCh_);
    if (k >= 1 && k <= kLastSample) {
        c.sample = k;
        for (int ch = firstCh_; ch <= lastCh_; ++ch) {
            c.volts.push_back(curves.V[ch][k]);
            c.amps.push_back(curves.I[ch][k]);
        }
    }
    if (c.empty()) return;
    last_ = now;
    write(encodeChanges(c.sample > 0 ? JournalRecord::Tick : JournalRecord::Changes, c), Reach::TickDisk);
}

void RunJournal::note(const RunState& now) {
    if (!active()) return;
    const JournalChanges c = changesBetween(last_, now, firstCh_, lastCh_);
    if (c.empty()) return;
    last_ = now;
    write(encodeChanges(JournalRecord::Changes, c), Reach::System);
}

void RunJournal::end(const RunState& now) {
    if (!active()) return;
    const JournalChanges c = changesBetween(last_, now, firstCh_, lastCh_);
    last_ = now;
    write(encodeChanges(JournalRecord::End, c), Reach::Disk);
}

void RunJournal::stored(int ch, StoredPart part) {
    if (active()) write(encodeStored(ch, part), Reach::Disk);
}

bool RunJournal::write(const QByteArray& record, Reach reach) {
    // A failed write leaves at most a torn record, which reading drops.
    if (file_.write(record) != record.size() || !file_.flush()) {
        qWarning("run journal %s: %s", qUtf8Printable(file_.fileName()), qUtf8Printable(file_.errorString()));
        if (!failureTold_ && onWriteFailure) {
            failureTold_ = true;
            onWriteFailure(file_.fileName() + QStringLiteral(": ") + file_.errorString());
        }
        return false;
    }
    const bool due = reach == Reach::Disk ||
                     (reach == Reach::TickDisk && (!sinceSync_.isValid() || sinceSync_.elapsed() >= kTickSyncMs));
    if (due) {
        ::fdatasync(file_.handle());
        sinceSync_.start();
    }
    return true;
}

void RunJournal::discard() {
    if (!file_.isOpen()) return;
    QFile::remove(file_.fileName());
    file_.close();  // the lock goes with the descriptor
}

QStringList RunJournal::journalsIn(const QString& folder) {
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("run-*") + kSuffix}, QDir::Files, QDir::Time | QDir::Reversed))
        paths << dir.filePath(name);
    return paths;
}

bool RunJournal::claim(const QString& path, QByteArray* contents) {
    discard();
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadWrite) || !lockExclusive(file_)) {
        file_.close();
        return false;
    }
    if (contents) *contents = file_.readAll();
    return true;
}

void RunJournal::keep(qsizetype wholeBytes) {
    if (!active()) return;
    // Nothing follows a torn record: the file ends at its last whole one.
    if (file_.size() > wholeBytes) {
        file_.resize(wholeBytes);
        ::fdatasync(file_.handle());
    }
}

QString RunJournal::setAside() {
    if (!active()) return {};
    const QString aside = file_.fileName() + QStringLiteral(".kept-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::rename(file_.fileName(), aside);
    syncFolder(QFileInfo(aside).absolutePath());
    file_.close();
    return aside;
}

}  // namespace varnot
