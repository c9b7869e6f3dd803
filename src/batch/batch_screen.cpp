#include "batch/batch_screen.h"

#include "common/text_number.h"
#include "report/report_output.h"
#include "settings/validation.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cmath>

namespace varnot {

namespace {

const QString kTitle = QStringLiteral("信息提示");
const QString kBatchSaved = QStringLiteral("整体参数保存完毕!");
const QString kSheetsSaved = QStringLiteral("部分参数保存完毕!");
const QString kConfirmDelete = QStringLiteral("此操作会删除数据,是否确定?");
const QString kDeleted = QStringLiteral("数据删除完毕!");
const QString kAddSpecification = QStringLiteral("此规格不存在,是否加入到规格列表中?");
const QString kRunning = QStringLiteral("测试正在进行，不能打开或删除批次！");
const QString kReportProgram = QStringLiteral("成绩单输出.exe");
const QString kCertificateSaved = QStringLiteral("找不到合并报表程序，合格证已保存为PDF文件：");
const QString kCertificateNotWritten = QStringLiteral("合格证文件无法写入：");
const QString kBatchNotStored = QStringLiteral("批次未保存，无法输出合格证：");
// The sheets as the grid labels them.
const char* const kSheetLabels[] = {"1", "2", "3", "1'", "2'", "3'"};

// The field a refused column came from, for the message.
QString captionOfColumn(const QString& column) {
    static const std::pair<const char*, const char*> kCaptions[] = {
        {"SerNum", "编号"}, {"VF", "VF值"},      {"Length", "长度"}, {"Area", "面积"}, {"Weight", "重量"},
        {"NodeNum", "接头数"}, {"SpecVot", "比容"}, {"Bend", "折弯"},   {"Pull", "抗拉"}, {"NumCurve", "片号"},
    };
    for (const auto& [name, caption] : kCaptions)
        if (column == QLatin1String(name)) return QString::fromUtf8(caption);
    return column;
}

}  // namespace

StoredCurvePath storedCurvePath(int k, const std::vector<double>& values, int tr, double refV, float hxfd) {
    static const QColor colours[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
    StoredCurvePath path;
    path.colour = colours[(k - 1) % 3];
    const double left = k == 4 ? 500 : 400;
    const long last = std::min<long>(long(values.size()) - 1, long(tr) + 177);
    if (last < 0 || !(refV > 0) || !(hxfd > 0)) return path;
    path.points.reserve(std::size_t(last) + 2);
    path.points.emplace_back(left, k == 4 ? 4500 : 3600);
    for (long j = 0; j <= last; ++j)
        path.points.emplace_back(left + double(j) * 12.5 / hxfd, 4000 * (0.9 - values[std::size_t(j)] / (1.5 * refV)));
    return path;
}

float zoomToShow(int points) {
    float zoom = kHxfdMin;
    while (zoom < kHxfdMax && 320 * zoom < points) zoom *= 2;
    return zoom;
}

std::array<QString, 6> sheetGridTexts(const StoredSheet& s) { return storedSheetTexts(s); }

BatchScreen::BatchScreen(BatchHost host) : host_(std::move(host)) {}

void BatchScreen::changed() {
    if (host_.changed) host_.changed();
}

void BatchScreen::failed(const QString& what, const QString& reason) {
    changed();
    host_.prompter().message(what + QStringLiteral("：") + reason, kTitle);
}

void BatchScreen::refused(const QString& what, const StoreResult& r) {
    if (r.status == StoreResult::InvalidValue) {
        const QString field = captionOfColumn(r.detail);
        failed(what, r.detail == u"SerNum" ? QStringLiteral("编号为空") : field + QStringLiteral("不是有效的数值"));
    } else {
        failed(what, r.detail);
    }
}

void BatchScreen::open() {
    if (host_.running && host_.running()) {
        host_.prompter().message(kRunning, kTitle);
        return;
    }
    // Read first: a batch that cannot be read leaves the console as it was.
    const BatchContents contents = host_.store.loadBatch(host_.panel.field(BatchField::Serial));
    if (!contents.error.isEmpty()) {
        failed(QStringLiteral("批次无法打开"), contents.error);
        return;
    }
    if (host_.showBatch) host_.showBatch(contents);
    changed();
}

std::array<int, 6> fillBatchPanel(BatchPanel& panel, const BatchContents& contents) {
    std::array<int, 6> tr{};
    if (!contents.batch) return tr;
    const BatchFields& b = *contents.batch;
    const QString* texts[] = {&b.serial, &b.spec, &b.vf, &b.length, &b.area, &b.joints, &b.weight, &b.line, &b.iq};
    for (int i = 0; i < kBatchFieldCount; ++i) panel.fields[std::size_t(i)] = *texts[i];
    for (const StoredSheet& s : contents.sheets) {
        if (s.number < 1 || s.number > kSheets) continue;
        const auto texts = sheetGridTexts(s);
        for (int c = 0; c < 6; ++c) panel.grid[std::size_t(s.number)][std::size_t(c + 1)] = texts[std::size_t(c)];
        for (int v = 0; v < 3; ++v) panel.sheet[std::size_t(s.number - 1)][std::size_t(v)] = texts[std::size_t(v)];
        if (s.tr) tr[std::size_t(s.number - 1)] = int(std::clamp(std::trunc(*s.tr), -1000.0, 100000.0));
    }
    return tr;
}

void drawBatchCurves(Plots& plots, const ConsoleState& state, const BatchContents& contents,
                     const std::array<int, 6>& tr) {
    // Every channel plot is scaled so that the longest curve of the batch shows whole, and its
    // axes are drawn for the batch's formation voltage before the curves go on them.
    int longest = 0;
    for (const StoredCurve& c : contents.curves)
        if (c.number >= 1 && c.number <= kSheets)
            longest = std::max<int>(longest, int(std::min<long>(long(c.values.size()), long(tr[std::size_t(c.number - 1)]) + 178)));
    const float zoom = zoomToShow(longest);
    // Every sheet of the batch was tested at the batch's VF: each plot's axes are labelled for it
    // and each curve scaled by it, whatever the channel's own formation voltage or test kind.
    const QString vf = contents.batch ? contents.batch->vf.trimmed() : QString();
    ConsoleState axes = state;
    for (int ch = 0; ch < kChannels; ++ch) {
        axes.kind[ch] = TestKind::TV;
        axes.field(Field::FormationVoltage, ch) = vf;
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        plots.hxfd[ch] = zoom;
        zb(plots, axes, ch);
    }
    const std::optional<double> refV = toDouble(vf);
    for (const StoredCurve& c : contents.curves) {
        if (c.number < 1 || c.number > kSheets) continue;
        const int ch = c.number - 1;
        // Sheet 5 is laid out with channel 4's zoom factor (the same as its own here).
        const float hxfd = plots.hxfd[c.number == 5 ? 3 : ch];
        const StoredCurvePath path = storedCurvePath(c.number, c.values, tr[std::size_t(ch)], refV.value_or(0), hxfd);
        if (path.points.size() >= 2) plots.TV[ch]->polyline(path.points, path.colour, 1);
    }
}

void BatchScreen::saveBatch() {
    const BatchPanel& p = host_.panel;
    const BatchFields fields{p.field(BatchField::Serial), p.field(BatchField::Spec),   p.field(BatchField::VF),
                             p.field(BatchField::Length), p.field(BatchField::Area),   p.field(BatchField::Weight),
                             p.field(BatchField::IQ),     p.field(BatchField::Line),   p.field(BatchField::Joints)};
    const StoreResult r = host_.store.saveBatch(fields, host_.today ? host_.today() : QDate::currentDate());
    if (!r.ok()) {
        refused(QStringLiteral("整体参数无法保存"), r);
        return;
    }
    host_.prompter().message(kBatchSaved, kTitle);
}

void BatchScreen::saveSheets() {
    const BatchPanel& p = host_.panel;
    std::vector<SheetValues> sheets;
    for (int k = 1; k <= kSheets; ++k) {
        const auto& row = p.grid[std::size_t(k)];
        // A sheet with values typed, or with stored results shown (an emptied cell is stored as
        // no value); the store says which of them it does not hold.
        if (std::all_of(row.begin() + 1, row.end(), [](const QString& t) { return t.trimmed().isEmpty(); })) continue;
        sheets.push_back({k, row[1], row[2], row[3]});
    }
    std::vector<int> notStored;
    const StoreResult r = host_.store.saveSheetValues(p.field(BatchField::Serial), sheets, &notStored);
    if (!r.ok()) {
        refused(QStringLiteral("部分参数无法保存"), r);
        return;
    }
    if (!notStored.empty()) {
        QStringList names;
        for (int k : notStored) names << QString::fromUtf8(kSheetLabels[k - 1]);
        const int saved = int(sheets.size() - notStored.size());
        host_.prompter().message((saved > 0 ? kSheetsSaved + QStringLiteral("\n") : QString()) +
                                     QStringLiteral("以下各片尚未保存在批次中，其参数无法保存：") +
                                     names.join(QStringLiteral("、")),
                                 kTitle);
        return;
    }
    host_.prompter().message(kSheetsSaved, kTitle);
}

void BatchScreen::deleteBatch() {
    if (host_.running && host_.running()) {
        host_.prompter().message(kRunning, kTitle);
        return;
    }
    // The delete clears the channels after it: a measured test not stored whole is asked about
    // before anything is deleted.
    if (host_.confirmDiscard && !host_.confirmDiscard()) return;
    if (!host_.prompter().question(kConfirmDelete, kTitle)) return;
    if (const QString error = host_.store.deleteBatch(host_.panel.field(BatchField::Serial)); !error.isEmpty()) {
        failed(QStringLiteral("批次无法删除"), error);
        return;
    }
    host_.prompter().message(kDeleted, kTitle);
    if (host_.batchDeleted) host_.batchDeleted();
    changed();
}

void BatchScreen::searchSerials() {
    QString error;
    serialList_.entries = host_.store.serialsLike(host_.panel.field(BatchField::Serial), &error);
    serialList_.shown = !serialList_.entries.isEmpty();
    if (!error.isEmpty()) {
        failed(QStringLiteral("编号无法查询"), error);
        return;
    }
    changed();
}

void BatchScreen::chooseSerial(const QString& serial) {
    if (host_.chooseField) host_.chooseField(BatchField::Serial, serial);
    serialList_ = {};
    changed();
}

void BatchScreen::listSpecifications() {
    specList_ = {true, {}};
    const QString spec = host_.panel.field(BatchField::Spec).trimmed();
    QString error;
    if (spec.isEmpty()) {
        specList_.entries = host_.store.specifications(&error);
    } else if (const std::optional<bool> listed = host_.store.specificationListed(spec, &error)) {
        bool known = *listed;
        if (!known && host_.prompter().question(kAddSpecification, kTitle)) {
            error = host_.store.addSpecification(spec);
            known = error.isEmpty();
        }
        if (known) specList_.entries = {spec};
    }
    // An empty list would hide the field with nothing to choose.
    specList_.shown = !specList_.entries.isEmpty();
    if (!error.isEmpty()) {
        specList_ = {};
        failed(QStringLiteral("规格无法查询"), error);
        return;
    }
    changed();
}

void BatchScreen::chooseSpecification(const QString& spec) {
    if (host_.chooseField) host_.chooseField(BatchField::Spec, spec);
    specList_ = {};
    changed();
}

QString BatchScreen::mergedReportProgram(const QString& folder) { return QDir(folder).filePath(kReportProgram); }

void BatchScreen::writeCertificate() {
    // The certificate shows the batch as stored, not the texts on screen.
    const QString serial = host_.panel.field(BatchField::Serial).trimmed();
    const BatchContents contents = host_.store.loadBatch(serial);
    if (!contents.error.isEmpty()) {
        failed(QStringLiteral("合格证无法输出"), contents.error);
        return;
    }
    if (!contents.batch) {
        host_.prompter().message(kBatchNotStored + serial, kTitle);
        return;
    }
    // Each sheet is judged by the limit stored with it, never by the fields of the day.
    const QDate date = host_.today ? host_.today() : QDate::currentDate();
    const Certificate certificate = certificateOf(contents, host_.company ? host_.company() : QString(), date);
    const QString folder = host_.documentsFolder ? host_.documentsFolder() : QString();
    const QString file = freeFileName(folder, certificateFileName(serial, date));
    const bool written = QDir().mkpath(folder) && writePdf(file, {layoutCertificate(certificate)});
    host_.prompter().message((written ? kCertificateSaved : kCertificateNotWritten) + QDir::toNativeSeparators(file),
                             kTitle);
}

void BatchScreen::mergedReport() {
    const QString program = mergedReportProgram(host_.programFolder);
    if (!QFileInfo(program).isFile()) {
        writeCertificate();
        return;
    }
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(host_.programFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached())
        host_.prompter().message(QStringLiteral("合并报表程序无法启动：") + QDir::toNativeSeparators(program) +
                                   QStringLiteral("（") + process.errorString() + QStringLiteral("）"),
                               kTitle);
}

}  // namespace varnot
