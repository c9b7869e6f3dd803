#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

using namespace varnot;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("store.ini")); }
};

}  // namespace

TEST_F(SettingsStoreTest, FirstStartWritesEveryKeyWithItsFirstValue) {
    {
        SettingsStore store(path());
        EXPECT_FALSE(store.holdsEveryKey());
        store.initialiseMissing();
        EXPECT_TRUE(store.holdsEveryKey());
    }
    SettingsStore store(path());
    EXPECT_TRUE(store.holdsEveryKey());
    struct Case {
        Section section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {Section::Canshu, "Vadjust(5)", "1"},      {Section::Canshu, "hxfd(0)", "1"},
        {Section::Canshu, "hcdy(3)", "200"},       {Section::Canshu, "Thy(2)", "60"},
        {Section::Canshu, "ldlzb(1)", "0.05"},     {Section::Canshu, "djyshxz(4)", "3.1"},
        {Section::Canshu, "Currency_C(0)", "16711680"}, {Section::Canshu, "Voltage_C(5)", "255"},
        {Section::Canshu, "option1(1)", "True"},   {Section::Canshu, "option9(0)", "False"},
        {Section::Canshu, "hxfd16", "1"},          {Section::Canshu, "comport", "1"},
        {Section::Canshu, "存储运行标志", "0"},     {Section::Topic, "LBUSER(2)", ""},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(store.contains(c.section, QString::fromUtf8(c.key))) << c.key;
        EXPECT_EQ(store.read(c.section, QString::fromUtf8(c.key)), QString::fromUtf8(c.value)) << c.key;
    }
}

TEST_F(SettingsStoreTest, InitialisingKeepsWhatIsAlreadyStored) {
    {
        SettingsStore store(path());
        store.write(Section::Canshu, u"KV(4)", QStringLiteral("1.02"));
        store.initialiseMissing();
    }
    SettingsStore store(path());
    EXPECT_EQ(store.read(Section::Canshu, u"KV(4)"), u"1.02");
    EXPECT_EQ(store.read(Section::Canshu, u"KV(3)"), u"1");
}

TEST_F(SettingsStoreTest, KeysMatchWithoutRegardToCase) {
    SettingsStore store(path());
    store.write(Section::Canshu, u"Option8(1)", QStringLiteral("False"));
    EXPECT_EQ(store.read(Section::Canshu, u"option8(1)"), u"False");
    EXPECT_EQ(store.read(Section::Canshu, u"OPTION8(1)"), u"False");
    store.write(Section::Canshu, u"vadjust(2)", QStringLiteral("0.99"));
    EXPECT_EQ(store.read(Section::Canshu, u"Vadjust(2)"), u"0.99");
    EXPECT_EQ(store.read(Section::Canshu, u"absent"), u"");
    // Sections are apart: the same key in "topic" is another key.
    EXPECT_EQ(store.read(Section::Topic, u"option8(1)"), u"");
}

TEST_F(SettingsStoreTest, ParametersCoefficientsAndSwitchesSurviveARestart) {
    Coefficients c;
    for (int i = 0; i < kChannels; ++i) {
        c.Vadjust[i] = 1.0f + 0.01f * i;
        c.Iadjust[i] = 0.99f - 0.001f * i;
        c.KV[i] = 1.0005f * (i + 1);
        c.KI[i] = 0.9995f;
    }
    {
        SettingsStore store(path());
        store.initialiseMissing();
        store.storeCoefficients(c);
        store.write(Section::Canshu, u"hcdy(1)", QStringLiteral("530"));
        store.write(Section::Canshu, u"option6(1)", QStringLiteral("True"));
        store.write(Section::Canshu, u"hxfd(4)", QStringLiteral("0.0625"));
        store.write(Section::Topic, u"LBUSER(0)", QStringLiteral("王工"));
    }
    SettingsStore store(path());
    const ChannelMemory m = store.loadChannelMemory();
    EXPECT_EQ(m.coefficients, c);  // exact: the texts read back as the same floats
    EXPECT_EQ(m.hxfd[4], 0.0625f);
    EXPECT_EQ(m.currentColour[2], 16711680);
    EXPECT_EQ(m.voltageColour[2], 255);
    EXPECT_EQ(store.text("hcdy", 1), u"530");
    EXPECT_TRUE(store.boolean("option6", 1));
    EXPECT_FALSE(store.boolean("option6", 0));
    EXPECT_EQ(store.text("LBUSER", 0), u"王工");
}

// A stored calibration of channels 4 to 6 is read at start-up, so writing every channel back at the
// end of a run keeps it instead of replacing it with values that were never loaded.
TEST_F(SettingsStoreTest, WriteBackOfAllChannelsKeepsTheStoredCalibrationOfChannels4To6) {
    {
        SettingsStore store(path());
        store.initialiseMissing();
        store.write(Section::Canshu, u"Vadjust(5)", QStringLiteral("1.0203"));
        store.write(Section::Canshu, u"KI(3)", QStringLiteral("0.98"));
    }
    {
        SettingsStore store(path());
        ChannelMemory m = store.loadChannelMemory();
        m.coefficients.KV[0] = 1.01f;  // a calibration step on channel 1
        store.storeCoefficients(m.coefficients);
    }
    SettingsStore store(path());
    EXPECT_EQ(store.read(Section::Canshu, u"Vadjust(5)"), u"1.0203");
    EXPECT_EQ(store.read(Section::Canshu, u"KI(3)"), u"0.98");
    EXPECT_EQ(store.read(Section::Canshu, u"KV(0)"), u"1.01");
}

TEST_F(SettingsStoreTest, ValuesThatDoNotConvertFallBackToTheirFirstValue) {
    SettingsStore store(path());
    store.initialiseMissing();
    store.write(Section::Canshu, u"Vadjust(1)", QStringLiteral("abc"));
    store.write(Section::Canshu, u"comport", QStringLiteral("COM3"));
    store.write(Section::Canshu, u"option1(0)", QStringLiteral("maybe"));
    store.write(Section::Canshu, u"hcdy(0)", QStringLiteral("abc"));  // a text key keeps any text
    EXPECT_EQ(store.real("Vadjust", 1), 1.0f);
    EXPECT_EQ(store.integer("comport"), 1);
    EXPECT_TRUE(store.boolean("option1", 0));  // first value "True"
    EXPECT_EQ(store.text("hcdy", 0), u"abc");
}

TEST_F(SettingsStoreTest, DamagedFileIsSetAsideAndTheStoreStartsFromFirstValues) {
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[canshu\nVadjust%280%29=2\n\xff\xfe\x00garbage[[[\n");
    }
    SettingsStore store(path());
    EXPECT_FALSE(store.setAsideFile().isEmpty());
    EXPECT_TRUE(QFile::exists(store.setAsideFile()));
    store.initialiseMissing();
    EXPECT_EQ(store.loadChannelMemory().coefficients.Vadjust[0], 1.0f);
    store.write(Section::Canshu, u"hcdy(0)", QStringLiteral("300"));
    store.sync();
    SettingsStore again(path());
    EXPECT_TRUE(again.setAsideFile().isEmpty());
    EXPECT_EQ(again.text("hcdy", 0), u"300");
}

// What lies at the settings path but cannot be a settings file is set aside like a damaged file,
// without being read: a pipe (reading it would block start-up for ever), a folder, binary junk.
TEST_F(SettingsStoreTest, WhatCannotBeASettingsFileIsSetAside) {
    struct Case {
        const char* what;
        std::function<bool(const QString&)> make;
    };
    const auto writeBytes = [](const QByteArray& bytes) {
        return [bytes](const QString& p) {
            QFile f(p);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
    };
    const char nulInside[] = "[canshu]\nhcdy%280%29=3\0\0\0\n";
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) junk.append(static_cast<char>((i * 37 + 11) % 256));
    const Case cases[] = {
        {"named pipe", [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; }},
        {"folder", [](const QString& p) { return QDir().mkdir(p); }},
        {"binary junk", writeBytes(junk)},
        {"keys with a NUL inside", writeBytes(QByteArray(nulInside, sizeof nulInside - 1))},
        {"text that is not UTF-8", writeBytes(QByteArray("[canshu]\nhcdy%280%29=\xc3\x28\xa0\xa1\n"))},
    };
    for (const Case& c : cases) {
        QTemporaryDir here;
        const QString p = here.filePath(QStringLiteral("store.ini"));
        ASSERT_TRUE(c.make(p)) << c.what;
        {
            SettingsStore store(p);
            EXPECT_FALSE(store.setAsideFile().isEmpty()) << c.what;
            EXPECT_TRUE(QFileInfo::exists(store.setAsideFile())) << c.what;
            store.initialiseMissing();
            EXPECT_EQ(store.text("hcdy", 0), u"200") << c.what;
            store.write(Section::Canshu, u"hcdy(0)", QStringLiteral("300"));
        }
        EXPECT_TRUE(QFileInfo(p).isFile()) << c.what;
        SettingsStore again(p);
        EXPECT_TRUE(again.setAsideFile().isEmpty()) << c.what;
        EXPECT_EQ(again.text("hcdy", 0), u"300") << c.what;
    }
}
