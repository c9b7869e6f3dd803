// Comma-separated export: field quoting, the byte-order mark and line ends, the curve table with
// its numbers as the readouts show them, read back as a spreadsheet program reads them.
#include "acquisition/csv_export.h"
#include "acquisition/curves.h"
#include "support/csv_reader.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::readCsvBytes;
using varnot::testing::readCsvFile;

TEST(CsvExport, QuotesOnlyTheFieldsThatNeedIt) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"", u""},
        {u"12.5", u"12.5"},
        {u"测试编号", u"测试编号"},
        {u" leading space ", u" leading space "},
        {u"a,b", u"\"a,b\""},
        {u"say \"hi\"", u"\"say \"\"hi\"\"\""},
        {u"\"", u"\"\"\"\""},
        {u"two\nlines", u"\"two\nlines\""},
        {u"cr\rhere", u"\"cr\rhere\""},
        {u"x\r\n,\"y\"", u"\"x\r\n,\"\"y\"\"\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(QString::fromUtf16(c.in)), QString::fromUtf16(c.out)) << QString::fromUtf16(c.in).toStdString();
}

TEST(CsvExport, BytesStartWithTheMarkAndEndEveryLineWithCrLf) {
    const CsvTable hostile{{QStringLiteral("测试编号"), QStringLiteral("A,1"), QStringLiteral("say \"hi\"")},
                           {QStringLiteral("two\nlines"), QString(), QStringLiteral("cr\r\nlf")},
                           {}};
    const QByteArray bytes = csvBytes(hostile);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.mid(3, 12), QStringLiteral("测试编号").toUtf8());  // UTF-8, not a local code page
    EXPECT_TRUE(bytes.endsWith("\r\n\r\n"));
    const auto read = readCsvBytes(bytes);
    EXPECT_TRUE(read.bom);
    EXPECT_TRUE(read.fault.isEmpty()) << read.fault.toStdString();
    ASSERT_EQ(read.rows.size(), 3u);
    EXPECT_EQ(read.rows[0], hostile[0]);
    EXPECT_EQ(read.rows[1], hostile[1]);
    EXPECT_EQ(read.rows[2], QStringList{QString()});
    EXPECT_EQ(csvBytes({}), QByteArray("\xEF\xBB\xBF"));
}

TEST(CsvExport, CurveTableShowsNumbersAsTheReadoutsDoAndEndsEachChannelAtItsLastSample) {
    Curves c;
    c.V[1][1] = 1234.5f, c.I[1][1] = 0.05f;
    c.V[1][2] = 0.0f, c.I[1][2] = 12.3456f;
    c.V[2][1] = 7.25f, c.I[2][1] = 1.0f;
    c.V[2][2] = 99.0f;  // past channel 3's last sample: not written
    const CsvTable t = curveTable({{1, QStringLiteral("A,100\"HL\""), QStringLiteral("TV测试"), &c.V[1], &c.I[1], 2},
                                   {2, QStringLiteral("B7"), QStringLiteral("电解液测试"), &c.V[2], &c.I[2], 1}});
    const CsvTable expected{
        {QStringLiteral("测试编号"), QStringLiteral("A,100\"HL\""), "", QStringLiteral("B7"), ""},
        {QStringLiteral("测试类型"), QStringLiteral("TV测试"), "", QStringLiteral("电解液测试"), ""},
        {QStringLiteral("时间(S)"), QStringLiteral("通道2电压(V)"), QStringLiteral("通道2电流(mA)"),
         QStringLiteral("通道3电压(V)"), QStringLiteral("通道3电流(mA)")},
        {"1", "1234.5", "0.050", "7.3", "1.000"},
        {"2", "0.0", "12.346", "", ""},
    };
    EXPECT_EQ(t, expected);
    // Nothing measured: the header lines alone.
    EXPECT_EQ(curveTable({{0, "", "", &c.V[0], &c.I[0], 0}}).size(), 3u);

    QTemporaryDir dir;
    ASSERT_TRUE(writeCsv(dir.filePath("curves.csv"), t));
    const auto read = readCsvFile(dir.filePath("curves.csv"));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->bom);
    EXPECT_TRUE(read->fault.isEmpty()) << read->fault.toStdString();
    EXPECT_EQ(read->rows, expected);
    EXPECT_FALSE(writeCsv(dir.filePath("missing/folder/x.csv"), t));
}
