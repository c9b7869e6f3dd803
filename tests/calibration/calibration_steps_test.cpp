// Calibration steps on a settings file of their own: each step reloads the channel's four
// coefficients from the store, multiplies one and writes all four back.
#include "calibration/calibration_steps.h"
#include "common/text_number.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "storage/qt_print.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

using namespace varnot;

namespace {

using Item = CalibrationItem;
using Dir = StepDirection;
using Size = StepSize;

constexpr const char* kKeys[] = {"Vadjust", "Iadjust", "KV", "KI"};

struct Step {
    Item item;
    Dir direction;
    Size size;
};

struct StepCase {
    const char* what;
    int ch;
    std::vector<Step> steps;
    std::array<double, 4> expected;  // Vadjust, Iadjust, KV, KI of the channel afterwards
    // What happens to memory before the steps (a change that is never stored).
    std::function<void(Coefficients&)> before = {};
};

std::vector<Step> repeated(int times, Step s) {
    return std::vector<Step>(times, s);
}

class CalibrationSteps : public ::testing::Test {
  protected:
    void SetUp() override { freshStore(0); }
    // A store of first values in a file of its own.
    void freshStore(int number) {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("s%1.ini").arg(number)));
        store->initialiseMissing();
    }
    QString stored(const char* key, int ch) const {
        return store->read(Section::Canshu, indexedKey(key, ch));
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
};

TEST_F(CalibrationSteps, EachStepReloadsMultipliesOneCoefficientAndStoresAllFour) {
    const std::vector<StepCase> cases = {
        {"ten coarse increases of the voltage sampling",
         1,
         repeated(10, {Item::VoltageSampling, Dir::Increase, Size::Coarse}),
         {std::pow(1.01, 10), 1, 1, 1}},
        {"a coarse increase and a coarse decrease",
         0,
         {{Item::VoltageSampling, Dir::Increase, Size::Coarse},
          {Item::VoltageSampling, Dir::Decrease, Size::Coarse}},
         {0.9999, 1, 1, 1}},
        {"fine steps on the current items",
         2,
         {{Item::CurrentSampling, Dir::Decrease, Size::Fine},
          {Item::CurrentControl, Dir::Increase, Size::Fine}},
         {1, 0.9995, 1, 1.0005}},
        {"a coarse decrease of the voltage control",
         5,
         {{Item::VoltageControl, Dir::Decrease, Size::Coarse}},
         {1, 1, 0.99, 1}},
        {"a value changed only in memory is discarded",
         1,
         {{Item::VoltageSampling, Dir::Increase, Size::Coarse}},
         {1.01, 1, 1, 1},
         [](Coefficients& c) {
             c.KV[1] = 2.0f;
             c.Vadjust[1] = 3.0f;
         }},
        {"no step size chosen multiplies nothing",
         0,
         {{Item::VoltageSampling, Dir::Increase, Size::Neither}},
         {1, 1, 1, 1},
         [](Coefficients& c) { c.Vadjust[0] = 3.0f; }},
    };
    int number = 0;
    for (const StepCase& c : cases) {
        freshStore(++number);
        Coefficients memory;
        if (c.before) c.before(memory);
        for (const Step& s : c.steps) calibrationStep(*store, memory, c.ch, s.item, s.direction, s.size);
        for (int k = 0; k < 4; ++k) {
            const QString text = stored(kKeys[k], c.ch);
            // The decimal text of the 32-bit value, and memory holds the same value.
            EXPECT_NEAR(text.toDouble(), c.expected[k], 1e-6) << c.what << " " << kKeys[k];
            EXPECT_EQ(text, shortestText(text.toFloat())) << c.what << " " << kKeys[k];
            EXPECT_EQ(coefficientOf(memory, static_cast<Item>(k), c.ch), text.toFloat())
                << c.what << " " << kKeys[k];
        }
        // Other channels are neither written nor reloaded.
        for (int other = 0; other < kChannels; ++other) {
            if (other == c.ch) continue;
            for (const char* key : kKeys)
                EXPECT_EQ(stored(key, other), u"1") << c.what << " " << key << other;
        }
    }
}

TEST_F(CalibrationSteps, OneUpAndOneDownIsStoredAsTheProductNotTheStart) {
    Coefficients memory;
    calibrationStep(*store, memory, 0, Item::VoltageSampling, Dir::Increase, Size::Coarse);
    EXPECT_EQ(stored("Vadjust", 0), u"1.01");
    calibrationStep(*store, memory, 0, Item::VoltageSampling, Dir::Decrease, Size::Coarse);
    EXPECT_EQ(stored("Vadjust", 0), u"0.9999");
}

TEST_F(CalibrationSteps, StepsAreNeverBounded) {
    Coefficients memory;
    for (int i = 0; i < 500; ++i)
        calibrationStep(*store, memory, 2, Item::CurrentControl, Dir::Increase, Size::Coarse);
    EXPECT_GT(stored("KI", 2).toDouble(), 100.0);
}

}  // namespace
