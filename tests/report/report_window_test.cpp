// The print commands through the console window: the menu entries and the toolbar key, the PDF
// they leave in the user's documents folder where no printer is installed, and the message that
// tells its path.
#include "console/console_window.h"
#include "report/pdf_reading.h"
#include "report/report_printer.h"
#include "settings/field_catalogue.h"
#include "support/console_fixture.h"
#include "support/event_wait.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>

namespace varnot::testing {
namespace {

class ReportWindow : public ConsoleFixture {
  protected:
    void SetUp() override {
        // The user's documents folder lies in a home of the test's own.
        home = qgetenv("HOME");
        configHome = qgetenv("XDG_CONFIG_HOME");
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("home"))));
        qputenv("HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        ConsoleFixture::SetUp();
        window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        // Whatever this machine has, the console finds no printer.
        window->reportPrinter().printerInstalled = [] { return false; };
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override {
        window.reset();
        qputenv("HOME", home);
        if (configHome.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", configHome);
    }

    // The PDF the last message names, which must lie in the documents folder.
    QString lastWritten() const {
        const QString lead = QStringLiteral("没有安装打印机，报告已保存为PDF文件：");
        const QStringList messages = prompter.messages();
        if (messages.isEmpty() || !messages.last().startsWith(lead)) return {};
        const QString file = messages.last().mid(lead.size());
        if (QFileInfo(file).absolutePath() != dir.filePath(QStringLiteral("home/Documents"))) return {};
        return file;
    }
    void clickReprint() {
        QToolBar* bar = window->findChild<QToolBar*>();
        QAction* key = window->findChild<QAction*>(QStringLiteral("print2"));
        ASSERT_TRUE(bar && key);
        QTest::mouseClick(bar->widgetForAction(key), Qt::LeftButton);
    }
    void triggerMenu(const char* key, const char* caption) {
        QAction* entry = window->findChild<QAction*>(QLatin1String(key));
        ASSERT_TRUE(entry) << key;
        EXPECT_EQ(entry->text(), QString::fromUtf8(caption));
        entry->trigger();
    }

    QByteArray home, configHome;
    std::unique_ptr<ConsoleWindow> window;
};

TEST_F(ReportWindow, PrintCommandsWriteTheirGroupsAndTellThePath) {
    // Before any print the toolbar key prints channels 1-3.
    clickReprint();
    QString file = lastWritten();
    ASSERT_FALSE(file.isEmpty()) << prompter.messages().join(u'|').toStdString();
    EXPECT_TRUE(file.endsWith(QStringLiteral("-1-3通道.pdf"))) << file.toStdString();
    ASSERT_EQ(pdfPages(file), 1);
    EXPECT_TRUE(pdfText(file, 1).contains(QStringLiteral("TV通道3数据显示")));

    triggerMenu("print16", "打印1-6通道");
    file = lastWritten();
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(pdfPages(file), 2);

    triggerMenu("print46", "打印4-6通道");
    const QString fourToSix = lastWritten();
    ASSERT_FALSE(fourToSix.isEmpty());
    ASSERT_EQ(pdfPages(fourToSix), 1);
    EXPECT_TRUE(pdfText(fourToSix, 1).contains(QStringLiteral("TV通道6数据显示")));

    // The toolbar print after 打印4-6通道 prints channels 4-6 again, into a file of its own.
    clickReprint();
    file = lastWritten();
    ASSERT_FALSE(file.isEmpty());
    EXPECT_NE(file, fourToSix);
    ASSERT_EQ(pdfPages(file), 1);
    EXPECT_TRUE(pdfText(file, 1).contains(QStringLiteral("TV通道4数据显示")));
    EXPECT_FALSE(pdfText(file, 1).contains(QStringLiteral("TV通道1数据显示")));
    EXPECT_EQ(prompter.messages().size(), 4);
}

TEST_F(ReportWindow, AnEntryStillBeingTypedIsPrintedAsCompleted) {
    window->showTab(3);
    auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(fieldSpec(Field::TvTestNumber).legacyId) +
                                               QStringLiteral("(1)"));
    ASSERT_TRUE(edit);
    edit->setFocus();
    ASSERT_TRUE(waitFor([&] { return edit->hasFocus(); }));
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Z901"));

    triggerMenu("print13", "打印1-3通道");

    const QString file = lastWritten();
    ASSERT_FALSE(file.isEmpty()) << prompter.messages().join(u'|').toStdString();
    EXPECT_TRUE(pdfText(file, 1).contains(QStringLiteral("测试编号：Z901")));
}

}  // namespace
}  // namespace varnot::testing
