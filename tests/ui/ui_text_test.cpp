// Texts on their way to the screen in English: whole texts, texts made of parts, and what must
// pass unchanged (paths, numbers, texts without Chinese); the choice of the language.
#include "ui_text/ui_text.h"

#include <gtest/gtest.h>

using namespace varnot;

namespace {

class EnglishText : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(setUiLanguage(UiLanguage::English)); }
    void TearDown() override { setUiLanguage(UiLanguage::Chinese); }
};

TEST_F(EnglishText, TranslatesWholeTextsAndTextsMadeOfParts) {
    const struct {
        const char* chinese;
        const char* english;
    } cases[] = {
        {"合格", "Pass"},
        {"不合格", "Fail"},
        {"文件(&F)", "&File"},
        // A field caption with its channel number.
        {"化成电压3：", "Formation voltage 3: "},
        {"火化电压52", "Spark voltage 5-2"},
        // Status texts built from the channel number.
        {"第2路开始", "Channel 2 started"},
        {"第4路关闭：", "Channel 4 off: "},
        {"存储 12 条记录", "12 records stored"},
        {"水温 80.5 ℃ 不在 83.5–87.5 ℃ 之间，等待中",
         "Water temperature 80.5 ℃ is not within 83.5–87.5 ℃, waiting"},
        {"水煮参数4-6：", "Boiling 4-6:"},
        // A message from parts around an operator's record name.
        {"第1路、第2路和第3路的测试编号与位置相同（A7L），请修改后再开始测试！",
         "channel 1, channel 2 and channel 3 have the same test number and position (A7L). Change them "
         "before "
         "starting the test!"},
        {"测试温度：85.0  机箱温度：30.2", "Test temperature: 85.0  Chassis temperature: 30.2"},
        // A path in a message keeps every character, Chinese folder names included.
        {"CSV文件无法写入：/home/测试/报告-1.csv", "CSV file cannot be written: /home/测试/报告-1.csv"},
        {"数据库文件不存在：C:\\数据\\lb53A100.db",
         "The database file does not exist: C:\\数据\\lb53A100.db"},
        {"合并报表程序无法启动：/opt/报表/成绩单输出.exe（No such file）",
         "Merged report program cannot be started: /opt/报表/成绩单输出.exe (No such file)"},
        // Nothing Chinese: unchanged.
        {"COM1", "COM1"},
        {"0.000", "0.000"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uiText(QString::fromUtf8(c.chinese)), QString::fromUtf8(c.english)) << c.chinese;
}

TEST(ChineseText, PassesEveryTextUnchanged) {
    ASSERT_EQ(uiLanguage(), UiLanguage::Chinese);
    for (const char* t : {"合格", "第2路开始", "化成电压3：", "CSV文件无法写入：/tmp/a.csv"})
        EXPECT_EQ(uiText(QString::fromUtf8(t)), QString::fromUtf8(t));
}

TEST(UiLanguageChoice, OptionFirstThenSystemLocale) {
    const QLocale english(QLocale::English, QLocale::UnitedStates), chinese(QLocale::Chinese, QLocale::China);
    const QLocale c = QLocale::c();
    EXPECT_EQ(chooseUiLanguage(QStringLiteral("en"), chinese), UiLanguage::English);
    EXPECT_EQ(chooseUiLanguage(QStringLiteral("EN"), c), UiLanguage::English);
    EXPECT_EQ(chooseUiLanguage(QStringLiteral("zh"), english), UiLanguage::Chinese);
    EXPECT_EQ(chooseUiLanguage(QString(), english), UiLanguage::English);
    EXPECT_EQ(chooseUiLanguage(QString(), chinese), UiLanguage::Chinese);
    EXPECT_EQ(chooseUiLanguage(QString(), c), UiLanguage::Chinese);
}

}  // namespace
