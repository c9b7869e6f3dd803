#include "batch/batch_panel.h"

#include "common/text_number.h"

namespace varnot {
namespace {

const char* kCaptions[] = {"编号：", "规格：", "VF值：", "长度：", "面积：", "接头数：", "重量：", "线别：", "IQ编号："};
const char* kHeaders[] = {"  比容", "  折弯", "  抗拉", "  Tr", "  Vm", "  Vt"};
const char* kRowLabels[] = {"1 ", "2 ", "3 ", "1'", "2'", "3'"};

bool upperCased(BatchField f) {
    return f == BatchField::Serial || f == BatchField::Spec || f == BatchField::Line || f == BatchField::IQ;
}

// A number is shown in the format; any other text stays as it is.
QString formatted(const QString& text, QStringView pattern) {
    const std::optional<double> v = toDouble(text);
    return v ? formatNumber(*v, pattern) : text;
}

}  // namespace

const char* batchFieldCaption(BatchField f) { return kCaptions[static_cast<int>(f)]; }

BatchPanel::BatchPanel() {
    field(BatchField::Joints) = QStringLiteral("0");
    initialiseGrid(*this);
}

QString enteredBatchText(BatchField f, const QString& typed) {
    if (!upperCased(f)) return typed;
    QString out = typed;
    for (QChar& c : out)
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - u'a' + u'A');
    return out;
}

void enterBatchField(BatchPanel& panel, BatchField f, const QString& typed) { panel.field(f) = enteredBatchText(f, typed); }

void enterSheetValue(BatchPanel& panel, int k, SheetValue v, const QString& typed) {
    panel.value(k, v) = typed;
    const int column = static_cast<int>(v) + 1;
    panel.grid[k][column] = formatted(typed, v == SheetValue::Capacitance ? u"0.000" : u"0");
}

void initialiseGrid(BatchPanel& panel) {
    for (auto& row : panel.grid) row.fill(QString());
    for (int c = 1; c < kGridColumns; ++c) panel.grid[0][c] = QString::fromUtf8(kHeaders[c - 1]);
    for (int r = 1; r < kGridRows; ++r) panel.grid[r][0] = QString::fromUtf8(kRowLabels[r - 1]);
}

void clearSheetResults(BatchPanel& panel) {
    for (int r = 1; r < kGridRows; ++r)
        for (int c = 4; c < kGridColumns; ++c) panel.grid[std::size_t(r)][std::size_t(c)].clear();
}

void clearSheets(BatchPanel& panel) {
    initialiseGrid(panel);
    for (auto& values : panel.sheet) values.fill(QString());
}

QColor gridRowColour(int row) {
    static const QColor colours[] = {QColor(255, 192, 192), QColor(255, 255, 192), QColor(192, 192, 255)};
    return colours[(row - 1) % 3];
}

}  // namespace varnot
