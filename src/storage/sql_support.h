// What the storage classes share: one short-lived database connection per operation, and the
// quoting of names that come from operator text.
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

namespace varnot {

// A table, column or index name in double quotes, with every double quote inside doubled; both
// SQLite and PostgreSQL read it back as exactly the given text. The drivers' own escapeIdentifier
// is not used for names from operator text: it leaves a name alone when it already starts or ends
// with a double quote or holds both '[' and ']', and splits a table name at '.', so a record name
// such as `[a]; drop table x; --` would reach the statement unquoted.
QString quoteIdentifier(const QString& name);

// Whether a text holds a character that is no text at all: a NUL (a statement or a C string ends
// there) or half of a surrogate pair (no encoding can write it). Such a text cannot be stored as
// it was typed, so it is refused rather than stored cut or changed.
bool holdsNonText(const QString& text);

// One connection, registered under a name of its own and removed again when this goes out of
// scope. Queries on it must be destroyed (or finished) first: declare them after this object.
class ScopedConnection {
public:
    // Sets up the connection; call open() to connect.
    ScopedConnection(const QString& driver, const QString& databaseName,
                     const QString& connectOptions = {});
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;

    bool open();
    QSqlDatabase db() const;
    // The text of the last failure of the connection itself (opening, transactions).
    QString errorText() const;

private:
    QString name_;
};

// The driver's text of an error, the generic text when the driver gave none.
QString errorText(const QSqlError& error);

}  // namespace varnot
