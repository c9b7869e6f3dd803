#include "report/certificate_layout.h"

#include "common/text_number.h"
#include "common/tv_judgement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace varnot {
namespace {

const char kTitle[] = "铝箔批次合格证";
const char kVerdictCaption[] = "批次判定：";
const char kBasis[] =
    "判定依据：各片TV值不低于VF值且升压时间不超过该片测试时的升压时间指标为合格；六片均合格则批次合格，任一片不合格则批次不合格。";
const char kNoLimit[] = "未记录";
const char kPass[] = "合格";
const char kFail[] = "不合格";
const char kPending[] = "待定";
const char kIncomplete[] = "不完整";

// Page positions (twips). The printable area of a landscape A4 page is about 16270 × 11340.
constexpr QPointF kTitleAt{6300, 200}, kCompanyAt{6600, 750};
constexpr double kFieldsLeft = 500, kFieldsStep = 3100, kFieldsTop = 1300, kFieldsRowStep = 500;
constexpr int kFieldsPerRow = 5;
constexpr double kTableLeft = 500, kTableTop = 2400, kCaptionWidth = 2300, kColumnWidth = 2200, kRowHeight = 400;
constexpr QPointF kCellInset{100, 70};
constexpr double kCurveTop = 6200, kCurveHeight = 3200, kCurveInset = 100;
constexpr double kVerdictTop = 9800, kBasisTop = 10500;
constexpr int kTitlePoints = 18, kFieldPoints = 12, kCellPoints = 11, kVerdictPoints = 16, kBasisPoints = 10;

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QString cellText(const std::optional<double>& v, QStringView pattern) {
    return v ? formatNumber(*v, pattern) : QString();
}

int columnOf(int sheet) {
    for (int i = 0; i < kBatchSheets; ++i)
        if (kCertificateColumnSheet[i] == sheet) return i;
    return 0;
}

double columnLeft(int column) { return kTableLeft + kCaptionWidth + kColumnWidth * column; }

// The curve colours of the channel plots: red for sheets 1 and 4, green for 2 and 5, blue for 3
// and 6.
QColor curveColour(int sheet) {
    static const QColor colours[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
    return colours[(sheet - 1) % 3];
}

void addCell(ReportPage& page, double left, double top, double width, const QString& content) {
    page.frames.push_back(QRectF(left, top, width, kRowHeight));
    page.texts.push_back({QPointF(left, top) + kCellInset, kCellPoints, content});
}

}  // namespace

Certificate certificateOf(const BatchContents& contents, const QString& company, QDate date) {
    Certificate c;
    if (contents.batch) c.batch = *contents.batch;
    for (const StoredSheet& s : contents.sheets)
        if (s.number >= 1 && s.number <= kBatchSheets) c.sheets[std::size_t(s.number - 1)] = s;
    for (const StoredCurve& curve : contents.curves)
        if (curve.number >= 1 && curve.number <= kBatchSheets) c.curves[std::size_t(curve.number - 1)] = curve.values;
    c.company = company;
    c.date = date;
    return c;
}

std::array<QString, 6> storedSheetTexts(const StoredSheet& s) {
    return {cellText(s.capacitance, u"0.000"), cellText(s.bending, u"0.00"), cellText(s.tensile, u"0.00"),
            cellText(s.tr, u"0.00"),           cellText(s.vm, u"0.00"),      cellText(s.vt, u"0.00")};
}

QString sheetJudgement(const std::optional<StoredSheet>& sheet, const QString& vf) {
    if (!sheet) return {};
    const std::optional<double> formation = toDouble(vf.trimmed());
    // The one TV rule; a comparison that cannot be made is left out by a value that cannot fail
    // it. One comparison that fails is enough; a pass needs both.
    constexpr float kNever = std::numeric_limits<float>::infinity();
    const bool tvLow = formation && sheet->vt && !tvPasses(float(*formation), float(*sheet->vt), kNever, 0);
    const bool riseSlow = sheet->trLimit && sheet->tr && !tvPasses(-kNever, 0, float(*sheet->trLimit), float(*sheet->tr));
    if (tvLow || riseSlow) return text(kFail);
    if (!formation || !sheet->vt || !sheet->trLimit || !sheet->tr) return text(kPending);
    return text(kPass);
}

QString sheetLimitText(const std::optional<StoredSheet>& sheet) {
    if (!sheet) return {};
    return sheet->trLimit ? shortestText(*sheet->trLimit) : text(kNoLimit);
}

std::array<QString, kBatchSheets> sheetJudgements(const Certificate& c) {
    std::array<QString, kBatchSheets> out;
    for (int k = 1; k <= kBatchSheets; ++k) out[std::size_t(k - 1)] = sheetJudgement(c.sheets[std::size_t(k - 1)], c.batch.vf);
    return out;
}

QString batchVerdict(const std::array<QString, kBatchSheets>& judgements) {
    if (std::any_of(judgements.begin(), judgements.end(), [](const QString& j) { return j == text(kFail); }))
        return text(kFail);
    if (std::all_of(judgements.begin(), judgements.end(), [](const QString& j) { return j == text(kPass); }))
        return text(kPass);
    return text(kIncomplete);
}

QStringList certificateFieldLines(const Certificate& c) {
    const BatchFields& b = c.batch;
    const std::pair<const char*, const QString*> fields[] = {
        {"编号：", &b.serial},   {"规格：", &b.spec},     {"VF值：", &b.vf}, {"长度：", &b.length},
        {"面积：", &b.area},     {"接头数：", &b.joints}, {"重量：", &b.weight}, {"线别：", &b.line},
        {"IQ编号：", &b.iq},
    };
    QStringList lines;
    for (const auto& [caption, value] : fields) lines << text(caption) + value->trimmed();
    lines << text("出证日期：") + c.date.toString(QStringLiteral("yyyy/MM/dd"));
    return lines;
}

QStringList certificateRowCaptions() {
    return {QStringLiteral("片号"), QStringLiteral("比容"), QStringLiteral("折弯"), QStringLiteral("抗拉"),
            QStringLiteral("Tr"),   QStringLiteral("Vm"),   QStringLiteral("Vt"),   QStringLiteral("升压时间指标"),
            QStringLiteral("判定")};
}

QStringList certificateColumn(const Certificate& c, int sheet) {
    const int index = sheet - 1;
    const bool boiled = sheet > 3;
    QStringList column{QString::number((index % 3) + 1) + (boiled ? QStringLiteral("' 水煮后") : QStringLiteral(" 水煮前"))};
    const std::optional<StoredSheet>& s = c.sheets[std::size_t(index)];
    if (s)
        for (const QString& v : storedSheetTexts(*s)) column << v;
    else
        for (int i = 0; i < 6; ++i) column << QString();
    column << sheetLimitText(s);
    column << sheetJudgement(s, c.batch.vf);
    return column;
}

QRectF certificateCurveArea(int sheet) {
    const double left = columnLeft(columnOf(sheet)) + kCurveInset;
    return QRectF(left, kCurveTop, kColumnWidth - 2 * kCurveInset, kCurveHeight);
}

std::vector<QPointF> certificateCurvePoints(const std::vector<double>& values, int samples, double vf,
                                            const QRectF& area) {
    std::vector<QPointF> points;
    if (values.empty()) return points;
    double full = 1.5 * vf;
    if (!(full > 0) || !std::isfinite(full)) {
        // No usable VF: the highest value reaches the top.
        full = 0;
        for (double v : values) full = std::max(full, v);
        if (!(full > 0)) full = 1;
    }
    const double step = area.width() / std::max(samples - 1, 1);
    points.reserve(values.size());
    for (std::size_t j = 0; j < values.size(); ++j) {
        const double share = std::clamp(values[j] / full, 0.0, 1.0);
        points.emplace_back(area.left() + step * double(j), area.bottom() - share * area.height());
    }
    return points;
}

ReportPage layoutCertificate(const Certificate& c) {
    ReportPage page;
    page.texts.push_back({kTitleAt, kTitlePoints, text(kTitle)});
    page.texts.push_back({kCompanyAt, kFieldPoints, c.company});
    const QStringList fields = certificateFieldLines(c);
    for (int i = 0; i < fields.size(); ++i)
        page.texts.push_back({QPointF(kFieldsLeft + kFieldsStep * (i % kFieldsPerRow), kFieldsTop + kFieldsRowStep * (i / kFieldsPerRow)),
                              kFieldPoints, fields[i]});

    const QStringList captions = certificateRowCaptions();
    for (int r = 0; r < captions.size(); ++r) addCell(page, kTableLeft, kTableTop + kRowHeight * r, kCaptionWidth, captions[r]);
    page.texts.push_back({QPointF(kTableLeft, kCurveTop) + kCellInset, kCellPoints, QStringLiteral("TV曲线")});

    // Every curve across the same time scale, the longest of the batch filling its area.
    std::size_t samples = 0;
    for (const auto& curve : c.curves) samples = std::max(samples, curve.size());
    const double vf = toDouble(c.batch.vf.trimmed()).value_or(0);
    for (int column = 0; column < kBatchSheets; ++column) {
        const int sheet = kCertificateColumnSheet[column];
        const QStringList cells = certificateColumn(c, sheet);
        for (int r = 0; r < cells.size(); ++r) addCell(page, columnLeft(column), kTableTop + kRowHeight * r, kColumnWidth, cells[r]);
        const QRectF area = certificateCurveArea(sheet);
        page.frames.push_back(area);
        std::vector<QPointF> points = certificateCurvePoints(c.curves[std::size_t(sheet - 1)], int(samples), vf, area);
        if (points.size() >= 2) page.curves.push_back({curveColour(sheet), std::move(points)});
    }

    page.texts.push_back({QPointF(kTableLeft, kVerdictTop), kVerdictPoints, text(kVerdictCaption) + batchVerdict(sheetJudgements(c))});
    page.texts.push_back({QPointF(kTableLeft, kBasisTop), kBasisPoints, text(kBasis)});
    return page;
}

QString certificateFileName(const QString& serial, QDate date) {
    QString name = serial.trimmed();
    for (QChar& ch : name)
        if (ch.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(ch)) ch = u'_';
    return QStringLiteral("合格证-") + name + QLatin1Char('-') + date.toString(QStringLiteral("yyyy-MM-dd")) +
           QStringLiteral(".pdf");
}

}  // namespace varnot
