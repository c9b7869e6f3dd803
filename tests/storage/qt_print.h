// Failure messages of the storage tests show texts and values as texts.
#pragma once

#include <QString>
#include <QVariant>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QVariant& v, std::ostream* os) {
    *os << (v.isNull() ? std::string("NULL") : v.toString().toStdString()) << " (" << v.typeName() << ')';
}
QT_END_NAMESPACE
