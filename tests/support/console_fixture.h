// A console on a settings file of its own, loaded as at start-up, with a scripted prompter and a
// fixed date; a test adds what it needs (an instrument, fields, a database folder).
#pragma once

#include "console/console.h"
#include "sim/instrument.h"
#include "support/scripted_prompter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace varnot::testing {

class ConsoleFixture : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        prepareSettings();
        console = std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
        console->load();
    }
    // Settings written before the console loads.
    virtual void prepareSettings() {}

    QString field(Field f, int ch) const { return console->state().field(f, ch); }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<sim::Instrument> instrument;
};

}  // namespace varnot::testing
