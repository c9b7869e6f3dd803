// Saving the ended tests on the channels: the checks, the local record of every test and, for a
// TV test, its sheet in the batch store. Works on the tests as they ended, never on the fields on
// screen; what it stores is marked on the tests, so a test is stored once.
#pragma once

#include "batch/batch_panel.h"
#include "common/prompter.h"
#include "console/channel_test.h"
#include "run/run_journal.h"
#include "settings/settings_store.h"
#include "storage/batch_store.h"
#include "storage/local_records.h"

#include <QDate>

#include <functional>
#include <vector>

namespace varnot {

// The local record of a test: its parameter row and its curve.
StoredTest storedTestOf(const ChannelTest& t);

// The batch curve of a TV sheet: columns 0..n-1 with n = delay + rise time of an ended test (the
// samples it measured when it did not end): column 0 holds 0, column i sample i + 1.
std::vector<float> sheetCurve(const ChannelTest& t);

struct SaveResult {
    enum class Outcome {
        Stored,          // every test not stored before is stored now (or its sheet declined)
        Nothing,         // no measured test on the channels
        AlreadyStored,   // every measured test was stored whole before
        EndedEarly,      // a check or a store refused; the message names what is left
    };
    Outcome outcome = Outcome::Nothing;
    int recordsWritten = 0;
    // Sheets stored, k = 1..6, with what the batch grid shows of them.
    std::vector<std::pair<int, SheetFields>> sheets;
    QString lastStoreError;
};

class TestSaver {
public:
    TestSaver(SettingsStore& settings, Prompter& prompter, BatchStore& batchStore, std::function<QDate()> today);

    // Whether the test's record is in its local database (a test may put its own answer in place).
    std::function<bool(int ch, const ChannelTest& t)> recordExists;
    // Each part of a test the save is about to write or has written (the run's journal keeps it).
    std::function<void(int ch, StoredPart part)> progress;
    LocalRecords localRecords() const;

    // Stores the ended tests of the channels that are not stored whole. `panel` holds the batch
    // fields and the sheet values typed for them. `storedCount` is the
    // save-progress counter ("存储运行标志"): every sheet stored or declined advances it.
    SaveResult save(PerChannel<ChannelTest>& tests, const BatchPanel& panel, int& storedCount);

private:
    enum class SheetOutcome { Stored, Declined, Failed };
    SheetOutcome storeSheet(BatchSession& session, int ch, ChannelTest& t, const BatchPanel& panel, int& storedCount, SaveResult& result,
                            const PerChannel<ChannelTest>& tests);
    QString unstoredLine(const PerChannel<ChannelTest>& tests) const;

    SettingsStore& settings_;
    Prompter& prompter_;
    BatchStore& batchStore_;
    std::function<QDate()> today_;
};

}  // namespace varnot
