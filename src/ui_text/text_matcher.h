// Translates a text made of parts: the longest known text at each place is replaced by its
// translation. Known texts may hold placeholders (%1..%9, {n}) that stand for a number.
#pragma once

#include <QHash>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace varnot {

class TextMatcher {
  public:
    using Translate = std::function<QString(const QString&)>;
    TextMatcher() = default;
    // The known texts (sources) and how each is translated.
    TextMatcher(const QStringList& sources, Translate translate);

    // The whole text when it is a known text, else part by part; a text without a Chinese
    // character and every path (the word holding a slash) are left as they are.
    QString translate(const QString& text) const;

  private:
    struct Pattern {
        QRegularExpression match;  // anchored, one capture per placeholder
        QStringList tokens;        // the placeholder of each capture
        QString translation;
    };
    // The length matched at position at, and its translation; 0 when nothing is known there.
    qsizetype longestAt(const QString& text, qsizetype at, QString* out) const;
    QString wholePattern(const QString& text) const;

    Translate translate_;
    QHash<QString, QString> plain_;               // known texts without placeholders
    QHash<QChar, std::vector<QString>> byFirst_;  // longest first
    std::vector<Pattern> patterns_;
};

}  // namespace varnot
