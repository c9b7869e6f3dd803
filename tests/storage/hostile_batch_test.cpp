// Hostile texts in every text field of a batch (serial, specification, IQ number, line), through the
// batch store on the SQLite ODBC driver and on PostgreSQL: stored, found, listed by the serial
// search, changed and deleted, each read back as the store's rule gives it (texts are stored
// trimmed; a column holds at most 64 characters; a text holding what is not text is refused
// whole), with the tables and the other batches untouched after every step.
#include "storage/batch_store.h"

#include "support/batch_source.h"
#include "support/hostile_texts.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace varnot::testing {
namespace {

const QDate kToday(2026, 3, 7);
constexpr int kTextColumn = 64;

BatchFields batchOf(const QString& serial, const QString& text) {
    return {serial, text, QStringLiteral("520"), {}, QStringLiteral("1.5"), {}, text, text, QStringLiteral("2")};
}

SheetFields sheet() {
    return {QStringLiteral("0.812"), {}, QStringLiteral("30.5"), QStringLiteral("25"), QStringLiteral("530.2"),
            QStringLiteral("498.5")};
}

std::vector<float> curve() { return std::vector<float>(30, 120.5f); }

// What the store keeps of a typed text, or nullopt when the text is refused.
std::optional<QString> kept(const HostileText& h) {
    const QString t = h.text.trimmed();
    if (h.notText || t.size() > kTextColumn) return std::nullopt;
    return t;
}

using Param = std::tuple<Engine, HostileText>;

class HostileBatch : public ::testing::TestWithParam<Param> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // unixODBC keeps what it read of odbc.ini for the life of the process: a name per test.
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(source.setUp(std::get<0>(GetParam()), QStringLiteral("hostile%1").arg(++tests), QDir(dir.path())));
        if (IsSkipped()) return;
        store = BatchStore(source.connectionText());
        ASSERT_EQ(store.ensureSchema(), QString());
        const HostileText& h = std::get<1>(GetParam());
        // Batches a wildcard, a trimmed or a cut text would also reach.
        bystanders = {QStringLiteral("B1"), QStringLiteral("QQ%_"), QStringLiteral("x") + h.text.trimmed().left(3),
                      h.text.trimmed().left(2)};
        bystanders.removeDuplicates();
        bystanders.removeIf([](const QString& b) {
            return b.isEmpty() || b.contains(QChar(u'\0')) || std::any_of(b.begin(), b.end(), [](QChar c) { return c.isSurrogate(); });
        });
        // Serials that differ in the case of a to z only are one batch.
        if (const auto k = kept(h)) bystanders.removeIf([&](const QString& b) { return batchSerial(b) == batchSerial(*k); });
        for (const QString& b : bystanders) {
            const StoreResult r = store.storeSheet(batchOf(b, QStringLiteral("KDB-") + b), 1, sheet(), curve(), kToday);
            ASSERT_TRUE(r.ok()) << b.toStdString() << ": " << r.detail.toStdString();
        }
        before = snapshot();
    }
    void TearDown() override { source.tearDown(); }

    // Every batch, sheet and curve row of the bystanders, and the row counts of the four tables.
    QStringList snapshot() {
        QStringList out;
        for (const QString& b : bystanders) {
            const BatchContents c = store.loadBatch(b);
            if (!c.batch) {
                out << b + QStringLiteral(": missing ") + c.error;
                continue;
            }
            out << QStringList{c.batch->serial, c.batch->spec, c.batch->iq, c.batch->line}.join(u'|');
            out << QString::number(c.sheets.size()) + u'/' + QString::number(c.curves.size());
        }
        return out;
    }
    QString rows(const char* table) {
        return source.query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(table)));
    }
    void expectIntact(const char* step, int ownBatches) {
        EXPECT_EQ(snapshot(), before) << step;
        EXPECT_EQ(rows("Whole_Parameter"), QString::number(bystanders.size() + ownBatches)) << step;
        EXPECT_EQ(rows("Curve"), QString::number(bystanders.size() + ownBatches)) << step;
        EXPECT_EQ(rows("Criterion"), QString::number(BatchStore::seedSpecifications().size())) << step;
    }

    QTemporaryDir dir;
    BatchSource source;
    BatchStore store;
    QStringList bystanders, before;
};

TEST_P(HostileBatch, EveryTextFieldIsStoredFoundChangedAndDeletedVerbatim) {
    const HostileText& h = std::get<1>(GetParam());
    const auto expected = kept(h);
    const auto& table = hostileTexts();
    QString other = QStringLiteral("规格'\"%_");

    const StoreResult stored = store.storeSheet(batchOf(h.text, h.text), 1, sheet(), curve(), kToday);
    if (h.text.trimmed().isEmpty()) FAIL() << "every hostile text has something besides blanks";
    if (!expected) {
        // Refused before anything is written, naming a column.
        EXPECT_EQ(stored.status, StoreResult::InvalidValue) << stored.detail.toStdString();
        EXPECT_EQ(stored.detail, QStringLiteral("SerNum"));
        expectIntact("refused sheet", 0);
        const StoreResult saved = store.saveBatch(batchOf(h.text, h.text), kToday);
        EXPECT_EQ(saved.status, StoreResult::InvalidValue);
        expectIntact("refused batch", 0);
        // The same text in a field other than the serial is refused as well, by its column.
        const StoreResult spec = store.storeSheet(batchOf(QStringLiteral("S9"), h.text), 1, sheet(), curve(), kToday);
        EXPECT_EQ(spec.status, StoreResult::InvalidValue);
        EXPECT_EQ(spec.detail, QStringLiteral("Speci"));
        expectIntact("refused specification", 0);
        return;
    }
    ASSERT_TRUE(stored.ok()) << stored.detail.toStdString();
    expectIntact("store", 1);

    // The serial by the one rule (a to z upper-cased), every other text verbatim.
    const QString serial = batchSerial(*expected);
    const auto found = store.findBatch(h.text);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->serial, serial);
    EXPECT_EQ(found->spec, *expected);
    EXPECT_EQ(found->iq, *expected);
    EXPECT_EQ(found->line, *expected);

    // The serial search: exactly the stored serials holding the text, whatever the case of its
    // letters, wildcards matching themselves.
    QStringList holding;
    for (const QString& b : bystanders + QStringList{*expected})
        if (b.contains(*expected, Qt::CaseInsensitive)) holding << batchSerial(b);
    QStringList listed = store.serialsLike(h.text);
    listed.sort();
    holding.sort();
    EXPECT_EQ(listed, holding);

    // Changed: the whole-batch fields take another hostile text.
    for (const HostileText& t : table)
        if (kept(t) && t.text != h.text) other = t.text;
    BatchFields changed = batchOf(h.text, other);
    const StoreResult saved = store.saveBatch(changed, kToday);
    ASSERT_TRUE(saved.ok()) << saved.detail.toStdString();
    const BatchContents loaded = store.loadBatch(h.text);
    ASSERT_TRUE(loaded.batch.has_value()) << loaded.error.toStdString();
    EXPECT_EQ(loaded.batch->serial, serial);
    EXPECT_EQ(loaded.batch->spec, other.trimmed());
    EXPECT_EQ(loaded.batch->line, other.trimmed());
    EXPECT_EQ(loaded.sheets.size(), 1u);
    EXPECT_EQ(loaded.curves.size(), 1u);
    expectIntact("change", 1);

    ASSERT_EQ(store.deleteBatch(h.text), QString());
    EXPECT_FALSE(store.findBatch(h.text).has_value());
    EXPECT_EQ(source.query(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter WHERE SerNum = ?"), {serial}),
              QStringLiteral("0"));
    expectIntact("delete", 0);
}

std::string paramName(const ::testing::TestParamInfo<Param>& info) {
    return std::string(std::get<0>(info.param) == Engine::SQLite ? "SQLiteOdbc_" : "PostgreSQL_") +
           std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileBatch,
                         ::testing::Combine(::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                                            ::testing::ValuesIn(hostileTexts())),
                         paramName);

}  // namespace
}  // namespace varnot::testing
