#include "ui_text/text_matcher.h"

#include "ui_text/ui_text.h"

#include <algorithm>

namespace varnot {

namespace {

const QRegularExpression& placeholder() {
    static const QRegularExpression p(QStringLiteral("%[1-9]|\\{n\\}"));
    return p;
}

// A number a placeholder stands for: a channel, a count, a temperature.
const QString kNumber = QStringLiteral("(-?[0-9]+(?:\\.[0-9]+)?)");

bool fullWidthPunctuation(QChar c) {
    const ushort u = c.unicode();
    return (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF);
}

// Per character whether it belongs to a path: the word holding a slash (a blank or full-width
// punctuation ends a word).
std::vector<bool> pathCharacters(const QString& text) {
    std::vector<bool> path(std::size_t(text.size()), false);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'/' && text[i] != u'\\') continue;
        qsizetype from = i;
        while (from > 0 && !text[from - 1].isSpace() && !fullWidthPunctuation(text[from - 1])) --from;
        qsizetype to = i;
        while (to < text.size() && !text[to].isSpace() && !fullWidthPunctuation(text[to])) ++to;
        for (qsizetype k = from; k < to; ++k) path[std::size_t(k)] = true;
        i = to;
    }
    return path;
}

}  // namespace

TextMatcher::TextMatcher(const QStringList& sources, Translate translate) : translate_(std::move(translate)) {
    for (const QString& source : sources) {
        if (!hasCjk(source)) continue;
        const QString translation = translate_(source);
        if (translation == source) continue;
        if (!source.contains(placeholder())) {
            plain_.insert(source, translation);
            byFirst_[source.front()].push_back(source);
            continue;
        }
        Pattern p;
        QString expression;
        qsizetype last = 0;
        for (auto it = placeholder().globalMatch(source); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            expression += QRegularExpression::escape(source.mid(last, m.capturedStart() - last)) + kNumber;
            p.tokens << m.captured();
            last = m.capturedEnd();
        }
        expression += QRegularExpression::escape(source.mid(last));
        p.match = QRegularExpression(expression);
        p.translation = translation;
        patterns_.push_back(std::move(p));
    }
    for (auto it = byFirst_.begin(); it != byFirst_.end(); ++it)
        std::sort(it->begin(), it->end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
}

QString TextMatcher::wholePattern(const QString& text) const {
    for (const Pattern& p : patterns_) {
        const QRegularExpressionMatch m = p.match.match(text, 0, QRegularExpression::NormalMatch,
                                                        QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch() || m.capturedEnd() != text.size()) continue;
        QString out = p.translation;
        for (qsizetype k = 0; k < p.tokens.size(); ++k) out.replace(p.tokens[k], m.captured(int(k + 1)));
        return out;
    }
    return {};
}

qsizetype TextMatcher::longestAt(const QString& text, qsizetype at, QString* out) const {
    qsizetype best = 0;
    if (const auto it = byFirst_.constFind(text[at]); it != byFirst_.cend())
        for (const QString& source : *it)
            if (QStringView(text).mid(at).startsWith(source)) {
                best = source.size();
                *out = plain_.value(source);
                break;
            }
    for (const Pattern& p : patterns_) {
        const QRegularExpressionMatch m = p.match.match(text, at, QRegularExpression::NormalMatch,
                                                        QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch() || m.capturedLength() <= best) continue;
        best = m.capturedLength();
        *out = p.translation;
        for (qsizetype k = 0; k < p.tokens.size(); ++k) out->replace(p.tokens[k], m.captured(int(k + 1)));
    }
    return best;
}

QString TextMatcher::translate(const QString& text) const {
    if (!hasCjk(text)) return text;
    if (const auto it = plain_.constFind(text); it != plain_.cend()) return *it;
    if (QString whole = wholePattern(text); !whole.isEmpty()) return whole;
    const std::vector<bool> path = pathCharacters(text);
    QString out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        QString translation;
        const qsizetype n = path[std::size_t(i)] ? 0 : longestAt(text, i, &translation);
        bool insidePath = false;
        for (qsizetype k = i; k < i + n; ++k) insidePath = insidePath || path[std::size_t(k)];
        if (n > 0 && !insidePath) {
            out += translation;
            i += n;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace varnot
