// Texts an operator (or a damaged file, or a paste from elsewhere) can put into a text field, for
// running through every path a field's text takes: saving, querying, showing, changing, printing
// and exporting. Each path states what it compares; a text a path cannot carry is marked so.
#pragma once

#include <QChar>
#include <QString>

#include <ostream>
#include <vector>

namespace varnot::testing {

struct HostileText {
    const char* name;  // a test-name part: letters, digits and '_' only
    QString text;
    // Holds a character that is not text at all (a NUL, an unpaired surrogate): a path may refuse
    // it, but must never store or show something else in its place.
    bool notText = false;
};

inline void PrintTo(const HostileText& h, std::ostream* os) { *os << h.name; }

inline QString longHostileText() {
    QString out;
    // Mixed widths, so a cut at a byte or a character count shows.
    const QString unit = QStringLiteral("长text'%_-");
    while (out.size() < 10000) out += unit;
    out.truncate(10000);
    return out;
}

inline const std::vector<HostileText>& hostileTexts() {
    static const std::vector<HostileText> table = {
        {"SingleQuote", QStringLiteral("O'Brien''")},
        {"DoubleQuote", QStringLiteral("say \"hi\" \"")},
        {"SqlDrop", QStringLiteral("'; DROP TABLE x; --")},
        {"SqlDropOwnTables", QStringLiteral("\"; DROP TABLE \"铝箔TV参数\"; DROP TABLE Whole_Parameter; --")},
        {"Backslashes", QStringLiteral("C:\\dir\\'\\\\n\\0")},
        {"Percent", QStringLiteral("%")},
        {"Underscore", QStringLiteral("_")},
        {"Star", QStringLiteral("*")},
        {"LikeMix", QStringLiteral("A%B_C*[D]^!")},
        {"Long10000", longHostileText()},
        {"EmbeddedNul", QStringLiteral("AB") + QChar(u'\0') + QStringLiteral("CD"), true},
        {"Emoji", QStringLiteral("😀👍🏽🇨🇳")},
        {"RightToLeft", QStringLiteral("\u202Eabc\u200F123\u202C")},
        {"LineBreaks", QStringLiteral("one\r\ntwo\nthree\rfour")},
        {"Tab", QStringLiteral("a\tb\t")},
        {"OuterSpaces", QStringLiteral("  padded  ")},
        {"Chinese", QStringLiteral("张三测试；，。")},
        {"Markup", QStringLiteral("<b>bold</b>&amp;<br>x")},
        {"IniSyntax", QStringLiteral("[topic]\nkey=value;#x,y")},
        {"LoneSurrogate", QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y"), true},
    };
    return table;
}

}  // namespace varnot::testing
