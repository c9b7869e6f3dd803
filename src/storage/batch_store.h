// The batch store: foil batches, their six sheets and each sheet's TV curve, in the shared
// database behind the ODBC data source "result" (user "sa", empty password).
//
// Tables (column order as created):
//   Whole_Parameter  SerNum, Speci, VF, Length, Area, Weight, IQNum, PLNum, NodeNum, ProDate, Pace, Conner
//   Part_Parameter   SerNum, NumCurve, SpecVot, Bend, Pull, Tr, Vm, Vt
//   Curve            SerNum, NumCurve, "0", "1", ... "1499"
//   Criterion        Speci
// Table and column names are created plain, without quotes, so that any program's unquoted
// statements (select * from Whole_Parameter where SerNum='...') find the same tables: PostgreSQL
// folds such names to lower case, SQLite compares them regardless of case. Only the sample columns
// are quoted ("0", "1", ...), being bare numbers. A statement given to run() writes the names
// plain as well.
// Every operation opens its own connection and closes it before returning; a save holds one
// BatchSession for all its sheets. Connections are bounded by a time-out (login, and on a
// server every statement), so an unreachable server cannot hold the console for long.
#pragma once

#include <QDate>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace varnot {

inline constexpr int kCurveColumns = 1500;

// The texts of the batch panel. VF and joints are required numbers; length, area and weight
// are optional (empty text -> NULL). Texts are stored trimmed; a text longer than its column
// (64 characters) or holding a NUL or an unpaired surrogate is refused (InvalidValue, detail = the
// column), never stored cut.
struct BatchFields {
    QString serial, spec, vf, length, area, weight, iq, line, joints;
};

// One sheet: the grid row (capacitance, bending, tensile: optional numbers) and the TV results
// of its channel (Tr, Vm, Vt: required numbers).
// A sheet whose test did not end (stopped, or the link failed) has results it never reached:
// those are stored as NULL (finished = false makes Tr, Vm, Vt optional).
struct SheetFields {
    QString capacitance, bending, tensile, tr, vm, vt;
    QString trLimit{};  // the rise-time limit (升压时间指标) the sheet's test ran with
    bool finished = true;
};

struct StoreResult {
    enum Status { Stored, CurveTooLong, InvalidValue, DatabaseError } status = Stored;
    QString detail;  // the offending field (column name) or the database's error text
    bool ok() const { return status == Stored; }
};

// The stored values of one sheet, as numbers (nullopt: NULL). trLimit: the rise-time limit the
// sheet was tested with (column TrLimit; NULL for sheets stored before it was kept).
struct StoredSheet {
    int number = 0;  // NumCurve, 1..6
    std::optional<double> capacitance, bending, tensile, tr, vm, vt;
    std::optional<double> trLimit{};
};

// The one rule for batch serials, on every path and engine: the letters a to z are upper-cased
// (as the serial field shows them as typed), the text trimmed. Serials are stored so; every
// lookup compares the upper-cased stored serial with the upper-cased one asked for, so a batch
// stored before with lower-case letters is found as well.
QString upperCasedLetters(const QString& text);
QString batchSerial(const QString& text);

// A sheet's stored curve: the values of columns "0", "1", ... up to the last one before the
// first NULL or the end of the row.
struct StoredCurve {
    int number = 0;
    std::vector<double> values;
};

struct BatchContents {
    std::optional<BatchFields> batch;  // nullopt: not stored
    std::vector<StoredSheet> sheets;
    std::vector<StoredCurve> curves;
    QString error, curveError;
};

// The sheet values of the screen for one stored sheet.
struct SheetValues {
    int number = 0;
    QString capacitance, bending, tensile;
};

class BatchStore {
public:
    // An ODBC data source name followed by its attributes, or a full "DRIVER=..." string. A
    // leading "DSN=" is accepted.
    explicit BatchStore(QString connectionText = QStringLiteral("result;UID=sa;Password=;"));

    const QString& connectionText() const { return connectionText_; }
    // Seconds a connection may take to log in and a statement on a server may run; 0: no bound.
    int timeoutSeconds() const { return timeoutSeconds_; }
    void setTimeoutSeconds(int seconds) { timeoutSeconds_ = seconds; }
    // The driver's connect options for a time-out.
    static QString connectOptions(int timeoutSeconds);
    // ensureSchema on a connection that is open already.
    static QString ensureSchemaOn(QSqlDatabase db);

    // Creates whichever of the four tables the source lacks; a Criterion table created here is
    // seeded with the known foil grades (规格). Empty on success, else the error.
    QString ensureSchema();

    // Stores one tested sheet (sheetNumber 1..6) in one transaction: for sheets 1 and 4 the
    // batch row (ProDate = today as "yyyy/mm/dd", Pace 1000, Conner "OQC"), then the sheet row,
    // then the curve row, each replacing the row already stored for that serial (and sheet).
    // `curve` holds the values of columns "0".."n-1" as given; columns from n on stay NULL.
    // Refused before anything is written: a curve longer than kCurveColumns (CurveTooLong), an
    // empty serial, a sheet number outside 1..6, a required number that is empty or not a
    // number, an optional one that is not a number (InvalidValue, detail = the column).
    // A database failure rolls the whole sheet back (DatabaseError).
    StoreResult storeSheet(const BatchFields& batch, int sheetNumber, const SheetFields& sheet,
                           const std::vector<float>& curve, QDate today);

    // The shared run routine. A statement whose first word, upper-cased, is INSERT, DELETE,
    // UPDATE or EXECUTE is executed and reports that word as written followed directly by
    // "query successful" ("insertquery successful"); anything else is a query reporting
    // "查询到" + row count + "条记录" with its rows. A failure reports "查询错误:" + the
    // database's text and no rows. `values` are bound to the statement's "?" in order.
    struct RunResult {
        QString status;
        std::vector<QSqlRecord> rows;
    };
    RunResult run(const QString& statement, const QVariantList& values = {});

    // The batch row of a serial as panel texts (NULL -> empty text); nullopt when not stored or
    // on a database failure (then `error` holds the reason).
    std::optional<BatchFields> findBatch(const QString& serial, QString* error = nullptr);
    // Serials containing `text` (trimmed; '%' and '_' match themselves), in the database's order.
    QStringList serialsLike(const QString& text, QString* error = nullptr);
    // The list of known foil grades (规格); whether one is listed (nullopt on a failure); adding
    // one to it (empty on success, also when already listed).
    QStringList specifications(QString* error = nullptr);
    std::optional<bool> specificationListed(const QString& spec, QString* error = nullptr);
    QString addSpecification(const QString& spec);
    // Deletes the batch row, all its sheet rows and all its curve rows in one transaction.
    QString deleteBatch(const QString& serial);

    // What the batch screen opens: the batch row, its sheet rows and its curve rows. A failure
    // reading the batch or its sheets is `error`; the curves are read apart and a failure there
    // only leaves them out (`curveError`).
    BatchContents loadBatch(const QString& serial);
    // The whole-batch fields of the screen: inserted (ProDate = today, Pace 1000, Conner "OQC")
    // when the serial is not stored, else its row updated (ProDate, Pace, Conner kept), in one
    // transaction. Checked as storeSheet checks the batch; nothing is written when refused.
    StoreResult saveBatch(const BatchFields& batch, QDate today);
    // The sheet values of stored sheets, all in one transaction: capacitance, bending and tensile
    // each a number or NULL (an empty text). A text that is no number refuses the whole update
    // (InvalidValue); a sheet not stored changes nothing and is named in `notStored`.
    StoreResult saveSheetValues(const QString& serial, const std::vector<SheetValues>& sheets,
                                std::vector<int>* notStored = nullptr);

    // The foil grades a new Criterion table starts with.
    static const QStringList& seedSpecifications();

private:
    QString connectionText_;
    int timeoutSeconds_ = 5;
};

class ScopedConnection;

// One save's connection to the batch database. open() connects (within the time-out) and makes
// sure of the tables, every time: a database that came back empty gets them again. Each sheet is
// stored in one transaction. When the database lives in a file, that file is checked before and
// after every sheet: if the file the connection has open was removed or replaced (a backup put
// back), the connection is made again and the sheet stored in the file the source names now. A
// sheet reported stored is therefore on disk in the database the source names.
class BatchSession {
public:
    explicit BatchSession(const BatchStore& store);
    ~BatchSession();
    BatchSession(const BatchSession&) = delete;
    BatchSession& operator=(const BatchSession&) = delete;

    QString open();  // empty on success, else the database's reason
    bool isOpen() const { return conn_ != nullptr; }
    void close();
    StoreResult storeSheet(const BatchFields& batch, int sheetNumber, const SheetFields& sheet,
                           const std::vector<float>& curve, QDate today);

private:
    struct FileId {
        unsigned long long dev, ino;
    };
    static std::optional<FileId> fileIdOf(const QString& path);
    // The file this process holds open under that name ({0, 0} when none).
    static FileId openHere(const QString& path);
    bool stillCurrent() const;

    const BatchStore& store_;
    std::unique_ptr<ScopedConnection> conn_;
    QString filePath_;  // the database file, empty for a server
    std::optional<FileId> file_;
};

}  // namespace varnot
