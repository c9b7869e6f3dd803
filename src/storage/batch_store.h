// The batch store: foil batches, their six sheets and each sheet's TV curve, in the shared
// database behind the ODBC data source "result" (user "sa", empty password).
//
// Tables (column order as created):
//   Whole_Parameter  SerNum, Speci, VF, Length, Area, Weight, IQNum, PLNum, NodeNum, ProDate, Pace, Conner
//   Part_Parameter   SerNum, NumCurve, SpecVot, Bend, Pull, Tr, Vm, Vt
//   Curve            SerNum, NumCurve, "0", "1", ... "1499"
//   Criterion        Speci
// Names are created in double quotes, so PostgreSQL keeps their case: a statement given to run()
// must write them in double quotes too ("Whole_Parameter", "SerNum"), which SQLite accepts as well.
// Every operation opens its own connection and closes it before returning.
#pragma once

#include <QDate>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace varnot {

inline constexpr int kCurveColumns = 1500;

// The texts of the batch panel. VF and joints are required numbers; length, area and weight
// are optional (empty text -> NULL). Texts are stored trimmed.
struct BatchFields {
    QString serial, spec, vf, length, area, weight, iq, line, joints;
};

// One sheet: the grid row (capacitance, bending, tensile: optional numbers) and the TV results
// of its channel (Tr, Vm, Vt: required numbers).
struct SheetFields {
    QString capacitance, bending, tensile, tr, vm, vt;
};

struct StoreResult {
    enum Status { Stored, CurveTooLong, InvalidValue, DatabaseError } status = Stored;
    QString detail;  // the offending field (column name) or the database's error text
    bool ok() const { return status == Stored; }
};

class BatchStore {
public:
    // An ODBC data source name followed by its attributes, or a full "DRIVER=..." string. A
    // leading "DSN=" is accepted.
    explicit BatchStore(QString connectionText = QStringLiteral("result;UID=sa;Password=;"));

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
    // on a database failure.
    std::optional<BatchFields> findBatch(const QString& serial);
    // Serials containing `text` (trimmed; '%' and '_' match themselves), in the database's order.
    QStringList serialsLike(const QString& text);
    // The list of known foil grades (规格), and adding one to it (empty on success, also when
    // already listed).
    QStringList specifications();
    QString addSpecification(const QString& spec);
    // Deletes the batch row, all its sheet rows and all its curve rows in one transaction.
    QString deleteBatch(const QString& serial);

    // The foil grades a new Criterion table starts with.
    static const QStringList& seedSpecifications();

private:
    QString connectionText_;
};

}  // namespace varnot
