// Hostile texts in the settings file: the texts a test's end keeps there (test numbers, testers),
// the company line of the reports and the instrument's address come back verbatim at the next
// start, and the file stays readable (never set aside as damaged) with every other key unchanged.
#include "console/console.h"
#include "settings/settings_store.h"
#include "support/hostile_texts.h"
#include "support/scripted_prompter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using namespace varnot::testing;

namespace {

class HostileSettings : public ::testing::TestWithParam<HostileText> {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("s.ini")); }
};

struct Kept {
    Section section;
    const char* key;
};
const Kept kKept[] = {{Section::Canshu, "TVcsbh(0)"}, {Section::Topic, "LBUSER(0)"}, {Section::Canshu, "DJYcsbh(2)"},
                      {Section::Topic, "DJYUSER(2)"}, {Section::Topic, "COMPANY"},   {Section::Canshu, "ipaddress"}};

TEST_P(HostileSettings, TextsComeBackVerbatimAndTheFileStaysWhole) {
    const HostileText& h = GetParam();
    QMap<QString, QString> untouched;
    {
        SettingsStore store(path());
        store.initialiseMissing();
        for (const char* key : {"hcdy(0)", "Vadjust(5)", "存储运行标志", "templow", "TVcsbh(1)"})
            untouched[QString::fromUtf8(key)] = store.read(Section::Canshu, QString::fromUtf8(key));
        for (const Kept& k : kKept) store.write(k.section, QString::fromUtf8(k.key), h.text);
        store.sync();
    }
    SettingsStore store(path());
    EXPECT_EQ(store.setAsideFile(), QString());
    EXPECT_TRUE(store.holdsEveryKey());
    for (const Kept& k : kKept) EXPECT_EQ(store.read(k.section, QString::fromUtf8(k.key)), h.text) << k.key;
    for (auto it = untouched.begin(); it != untouched.end(); ++it)
        EXPECT_EQ(store.read(Section::Canshu, it.key()), it.value()) << it.key().toStdString();

    // The console starts with them in its fields.
    ScriptedPrompter prompter;
    Console console(store, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
    console.load();
    EXPECT_EQ(console.state().field(Field::TvTestNumber, 0), h.text);
    EXPECT_EQ(console.state().field(Field::TvOperator, 0), h.text);
    EXPECT_EQ(console.state().field(Field::ElecTestNumber, 2), h.text);
    EXPECT_EQ(console.state().field(Field::ElecOperator, 2), h.text);
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileSettings, ::testing::ValuesIn(hostileTexts()),
                         [](const ::testing::TestParamInfo<HostileText>& info) { return std::string(info.param.name); });

}  // namespace
