// The run journal on disk: one file per run in the folder of the local test databases, named by
// its group and start, held under an exclusive lock (flock) for as long as a console keeps it. The
// kernel drops the lock with the process, so a journal nobody holds is one whose console ended
// without saving or declining its run (a crash, a kill, a power cut).
#pragma once

#include "run/run_journal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

namespace varnot {

class RunJournal {
public:
    RunJournal() = default;
    // A console that ends in order (closed, its run given up or saved) leaves no journal behind.
    ~RunJournal() { discard(); }
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // Starts the journal of a run: a new file in meta.folder holding the header, written through
    // to the disk. False, with the reason, when it cannot be written (the run goes on without).
    bool begin(const JournalMeta& meta, const RunState& start, QString* error = nullptr);
    // What changed since the last record, and sample k of the curves (a tick, on to the disk) or
    // no sample (a round of visits, handed to the system only).
    void tick(const RunState& now, const Curves& curves, int k);
    void note(const RunState& now);
    // The run loop ended the run: the last changes and the end, written through.
    void end(const RunState& now);
    // A save of the run's tests did one part for a channel: on to the disk before the save goes on.
    void stored(int ch, StoredPart part);
    // The run's tests were saved or given up (or the console ended in order): the file goes.
    void discard();
    bool active() const { return file_.isOpen(); }
    // Told once per journal when a record of a begun journal cannot be written (a full disk, a
    // folder gone), with the file and the reason; begin() reports its own failure to its caller.
    std::function<void(const QString& reason)> onWriteFailure;
    QString path() const { return file_.fileName(); }

    // Recovery at start-up. The journals in a folder, oldest first, whatever holds them.
    static QStringList journalsIn(const QString& folder);
    // Takes an interrupted journal and reads it; false when a running console holds it.
    bool claim(const QString& path, QByteArray* contents);
    // Keeps the claimed journal as this console's (its torn tail cut off) until the restored run
    // is saved or its save declined.
    void keep(qsizetype wholeBytes);
    // Renames the claimed journal aside (kept, never offered again) and lets it go; returns the
    // new name.
    QString setAside();
    // Lets the claimed journal go untouched (it is not this console's).
    void release() { file_.close(); }

private:
    // How far a record goes: to the system (a kill of the console loses nothing of it), or on to
    // the disk (a power cut neither) - for a tick at most every kTickSyncMs, so ticks back to back
    // (a faster clock, tests) do not wait on the disk for each one; at the real pace of one tick a
    // second every tick reaches the disk.
    enum class Reach { System, TickDisk, Disk };
    static constexpr int kTickSyncMs = 250;
    bool write(const QByteArray& record, Reach reach);

    QFile file_;
    QElapsedTimer sinceSync_;
    RunState last_;
    int firstCh_ = 0, lastCh_ = 2;
    bool failureTold_ = false;
};

}  // namespace varnot
