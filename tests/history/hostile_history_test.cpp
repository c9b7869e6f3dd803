// Hostile texts in the text columns of a stored test, through the windows the operator uses: the
// history query finds exactly the record (no wildcard, case or blank trick reaches another), the
// grid and the console's fields show the text verbatim, the modification window writes another
// hostile text into the one record, the history CSV reads back verbatim, and the printed report
// carries the text. After every step the database holds its tables and the other records as they
// were.
#include "console/console.h"
#include "console/console_window.h"
#include "history/history_window.h"
#include "history/modify_window.h"
#include "report/report_printer.h"
#include "stored_tests.h"
#include "support/csv_reader.h"
#include "support/event_wait.h"
#include "support/hostile_texts.h"
#include "support/scripted_prompter.h"
#include "report/pdf_reading.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTextDocument>
#include <QTest>
#include <QToolBar>

#include <memory>

using namespace varnot;
using namespace varnot::testing;

namespace {

const QString kTable = QStringLiteral("铝箔TV参数");

// A TV test whose curve holds the 30 samples its delay and rise time ask for.
StoredTest shownTest(const QString& name, const QString& tester, const QString& judgement) {
    StoredTest t = tvTest(name, 300, 10, tester);
    t.values[QStringLiteral("TV特性")] = judgement;
    t.volts.assign(30, 100.0f);
    t.amps.assign(30, 0.5f);
    return t;
}

// The record's text as the PDF text layer carries it: control characters and the invisible
// direction marks are not drawn and not extracted, nor are characters beyond the first 65536
// (emoji: the PDF writer draws them but its text layer cannot give them back, whatever the face);
// blanks are not compared (the text layer places its own). The rest must appear, in the order it
// is written or, under a right-to-left override, in the order it is drawn.
QString printedForm(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format || c.isSurrogate()) continue;
        out += c;
    }
    return out;
}

QString reversed(QString text) {
    std::reverse(text.begin(), text.end());
    return text;
}

QString withoutBlanks(QString text) {
    text.removeIf([](QChar c) { return c.isSpace(); });
    return text;
}

// No NUL, no unpaired surrogate: a text a bystander record can be named by.
bool isText(const QString& text) {
    if (text.contains(QChar(u'\0'))) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
        else if (text[i].isSurrogate()) return false;
    }
    return true;
}

class HostileHistory : public ::testing::TestWithParam<HostileText> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        home = qgetenv("HOME");
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("home"))));
        qputenv("HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"dbpath", dir.filePath("db"));
        console = std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
        console->load();
        window = std::make_unique<ConsoleWindow>(*console);
        window->setPrompter(prompter);
        window->reportPrinter().printerInstalled = [] { return false; };
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        qputenv("HOME", home);
    }

    QString file() const { return console->testDatabases().filePath(TestKind::TV); }

    HistoryWindow* open() {
        QAction* key = window->findChild<QAction*>(QStringLiteral("query2"));
        if (!key) return nullptr;
        QTest::mouseClick(window->findChild<QToolBar*>()->widgetForAction(key), Qt::LeftButton);
        HistoryWindow* h = window->historyWindow();
        if (h) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(h));
        }
        return h;
    }
    template <typename T>
    T* in(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void choose(QWidget* w, const char* combo, const QString& item) {
        QComboBox* box = in<QComboBox>(w, combo);
        box->setCurrentIndex(box->findText(item));
    }
    // A text query: a text cannot be typed key by key (a tab or line break would leave the
    // field), so it is pasted as the operator would.
    QStringList query(HistoryWindow* h, const char* column, const QString& value) {
        choose(h, "Combo3", QStringLiteral("TV测试"));
        choose(h, "Combo1", QString::fromUtf8(column));
        in<QLineEdit>(h, "Text1")->setText(value);
        prompter.shown.clear();
        QTest::mouseClick(in<QPushButton>(h, "Command1"), Qt::LeftButton);
        QStringList names;
        auto* model = in<QTableView>(h, "grid")->model();
        for (int r = 1; r < model->rowCount() - 1; ++r) names << model->index(r, 0).data().toString();
        return names;
    }
    QString gridCell(HistoryWindow* h, int row, const QString& column) {
        auto* model = in<QTableView>(h, "grid")->model();
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->index(0, c).data().toString() == column) return model->index(row, c).data().toString();
        return QStringLiteral("<no column>");
    }
    void selectFirst(HistoryWindow* h) {
        QTableView* grid = in<QTableView>(h, "grid");
        const QRect cell = grid->visualRect(grid->model()->index(1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        ASSERT_EQ(h->currentGridRow(), 2);
    }

    // The other records: their rows and the number of tables must not change.
    void expectIntact(const char* step) {
        FileCheck check(file());
        EXPECT_EQ(check.tables(), 1 + int(bystanders.size()) + (targetStored ? 1 : 0)) << step;
        for (const auto& [name, row] : bystanders) EXPECT_EQ(check.row(kTable, name), row) << step << " " << name.toStdString();
    }

    QTemporaryDir dir;
    QByteArray home;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
    std::vector<std::pair<QString, QVariantList>> bystanders;
    bool targetStored = false;
};

TEST_P(HostileHistory, StoredQueriedShownModifiedExportedAndPrintedVerbatim) {
    const HostileText& h = GetParam();
    const auto& table = hostileTexts();
    const qsizetype me = std::find_if(table.begin(), table.end(), [&](const HostileText& t) { return t.name == h.name; }) -
                         table.begin();
    // The text the modification writes: the next usable text of the table.
    QString other;
    for (qsizetype k = 1; k <= qsizetype(table.size()) && other.isEmpty(); ++k)
        if (const HostileText& t = table[std::size_t((me + k) % qsizetype(table.size()))]; !t.notText) other = t.text;

    const QString name = h.text + QStringLiteral("HL");
    // Records a wildcard, a trimmed or a cut text would also find.
    QStringList others = {QStringLiteral("T1HL"), QStringLiteral("t1hlx"), QStringLiteral("xHL"),
                          h.text.trimmed() + QStringLiteral("xHL"), h.text.left(2) + QStringLiteral("HL")};
    if (h.text.trimmed() != h.text) others << h.text.trimmed() + QStringLiteral("HL");
    others.removeDuplicates();
    others.removeAll(name);
    others.removeIf([](const QString& o) { return !isText(o); });
    std::vector<StoredTest> tests;
    for (const QString& o : others)
        tests.push_back(shownTest(o, QStringLiteral("by-%1").arg(tests.size()), QStringLiteral("合格")));
    ASSERT_EQ(console->testDatabases().save(tests), QString());
    {
        FileCheck check(file());
        for (const QString& o : others) bystanders.push_back({o, check.row(kTable, o)});
    }

    const QString saved = console->testDatabases().save(shownTest(name, h.text, h.text));
    if (h.notText) {
        // Not text at all: refused whole, with a reason, and nothing of it stored; the same
        // under a usable name with the text in the tester's column only (never stored cut).
        EXPECT_FALSE(saved.isEmpty());
        expectIntact("refused save");
        EXPECT_FALSE(console->testDatabases().save(shownTest(QStringLiteral("OKHL"), h.text, QStringLiteral("合格"))).isEmpty());
        expectIntact("refused tester");
        return;
    }
    ASSERT_EQ(saved, QString());
    targetStored = true;
    expectIntact("save");
    {
        FileCheck check(file());
        const QVariantList row = check.row(kTable, name);
        ASSERT_FALSE(row.isEmpty());
        EXPECT_EQ(row[0].toString(), name);
        EXPECT_EQ(row[15].toString(), h.text);  // 测试人
        EXPECT_TRUE(check.tableExists(name));
    }

    HistoryWindow* w = open();
    ASSERT_NE(w, nullptr);
    const int historyWidth = w->frameGeometry().width(), consoleWidth = window->frameGeometry().width();
    EXPECT_EQ(query(w, "测试编号", name), QStringList{name});
    EXPECT_TRUE(prompter.messages().isEmpty());
    EXPECT_EQ(in<QLineEdit>(w, "Text4")->text(), QStringLiteral("1"));
    // The statement is shown as typed, and a long one does not widen the window.
    QLabel* statement = in<QLabel>(w, "Qstr");
    EXPECT_TRUE(statement->text().endsWith(name + u'\''));
    EXPECT_TRUE(statement->textFormat() == Qt::PlainText || !Qt::mightBeRichText(statement->text()));
    QApplication::processEvents();
    EXPECT_LE(w->frameGeometry().width(), historyWidth);
    EXPECT_EQ(query(w, "测试人", h.text), QStringList{name});
    EXPECT_EQ(gridCell(w, 1, QStringLiteral("测试人")), h.text);
    EXPECT_EQ(gridCell(w, 1, QStringLiteral("TV特性")), h.text);
    expectIntact("query");

    // Shown on the console: the fields hold the text, the window's editors show it.
    selectFirst(w);
    prompter.shown.clear();
    QTest::mouseClick(in<QPushButton>(w, "Command3"), Qt::LeftButton);
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
    EXPECT_EQ(console->state().field(Field::TvTestNumber, 0), name);
    EXPECT_EQ(console->state().field(Field::TvOperator, 0), h.text);
    EXPECT_EQ(console->state().field(Field::TvJudgement, 0), h.text);
    QApplication::processEvents();
    EXPECT_EQ(in<QLineEdit>(window.get(), "Text14(0)")->text(), name);
    EXPECT_EQ(in<QLineEdit>(window.get(), "Text15(0)")->text(), h.text);
    EXPECT_LE(window->frameGeometry().width(), consoleWidth);
    expectIntact("display");

    // Printed from the console as it stands.
    prompter.shown.clear();
    window->findChild<QAction*>(QStringLiteral("print13"))->trigger();
    const QString lead = QStringLiteral("没有安装打印机，报告已保存为PDF文件：");
    ASSERT_TRUE(waitFor([&] { return !prompter.messages().isEmpty(); }));
    ASSERT_TRUE(prompter.messages().last().startsWith(lead)) << prompter.messages().last().toStdString();
    const QString pdf = withoutBlanks(pdfText(prompter.messages().last().mid(lead.size()), 1));
    // A line longer than its column is cut at the page's edge: its beginning is printed.
    const QString printed = withoutBlanks(printedForm(h.text)).left(20);
    const bool rightToLeft = h.text.contains(QChar(0x202E));
    EXPECT_TRUE(pdf.contains(QStringLiteral("测试员：") + (rightToLeft ? reversed(printed) : printed)))
        << pdf.left(2000).toStdString();

    // Modified to another hostile text: that record's column only.
    ASSERT_EQ(query(w, "测试编号", name), QStringList{name});
    selectFirst(w);
    QTest::mouseClick(in<QPushButton>(w, "Command5"), Qt::LeftButton);
    auto* m = w->findChild<ModifyWindow*>();
    ASSERT_NE(m, nullptr);
    choose(m, "Combo1", QStringLiteral("测试人"));
    in<QLineEdit>(m, "Text1")->setText(other);
    prompter.shown.clear();
    QTest::mouseClick(in<QPushButton>(m, "Command1"), Qt::LeftButton);
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("修改完毕！重新点击查询可以看到修改结果")});
    QTest::mouseClick(in<QPushButton>(m, "Command2"), Qt::LeftButton);
    {
        FileCheck check(file());
        EXPECT_EQ(check.row(kTable, name).value(15).toString(), other);
    }
    expectIntact("modify");
    EXPECT_EQ(query(w, "测试人", other), QStringList{name});

    // Exported: the grid as shown, read back verbatim.
    prompter.fileNames = {dir.filePath("grid.csv")};
    QTest::mouseClick(in<QPushButton>(w, "exportCsv"), Qt::LeftButton);
    const auto read = readCsvFile(dir.filePath("grid.csv"));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->fault.isEmpty()) << read->fault.toStdString();
    ASSERT_EQ(read->rows.size(), 2u);
    const QStringList& columns = read->rows[0];
    EXPECT_EQ(read->rows[1].value(columns.indexOf(QStringLiteral("测试编号"))), name);
    EXPECT_EQ(read->rows[1].value(columns.indexOf(QStringLiteral("测试人"))), other);
    EXPECT_EQ(read->rows[1].value(columns.indexOf(QStringLiteral("TV特性"))), h.text);
    expectIntact("export");

    // The curves' CSV names each channel by its record name.
    console->state().field(Field::TvTestNumber, 0) = h.text;
    prompter.fileNames = {dir.filePath("curves.csv")};
    window->findChild<QAction*>(QStringLiteral("exportCsv"))->trigger();
    const auto curves = readCsvFile(dir.filePath("curves.csv"));
    ASSERT_TRUE(curves);
    EXPECT_TRUE(curves->fault.isEmpty()) << curves->fault.toStdString();
    ASSERT_FALSE(curves->rows.empty());
    EXPECT_EQ(curves->rows[0].value(1), h.text + console->state().field(Field::TvPosition, 0));
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileHistory, ::testing::ValuesIn(hostileTexts()),
                         [](const ::testing::TestParamInfo<HostileText>& info) { return std::string(info.param.name); });

}  // namespace
