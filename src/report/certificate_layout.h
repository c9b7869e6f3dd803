// The batch certificate as one landscape page of positioned items (twips from the top left of
// the printable area), painted by the same routine as the printed reports: the whole-batch
// fields, a table of the six sheets with each channel's sheet before boiling beside its sheet
// after boiling (比容, 折弯, 抗拉, Tr, Vm, Vt, the rise-time limit and the judgement), under
// each column the sheet's stored curve, and the verdict on the batch.
//
// Each sheet is judged by the one TV rule with what it was tested with: the TV value Vt at least
// the batch's VF, the rise time Tr at most the rise-time limit stored with the sheet. A sheet
// stored without its limit (before the store kept it) shows so in the limit row and is not
// judged on its rise time. The batch passes when all six sheets pass, fails when any fails, and
// is incomplete otherwise (a sheet missing, one whose test did not end, one without its limit).
#pragma once

#include "report/report_layout.h"
#include "storage/batch_store.h"

#include <QDate>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace varnot {

inline constexpr int kBatchSheets = 6;

// What a certificate shows, gathered from the stored batch.
struct Certificate {
    BatchFields batch;
    // Sheet k (1..6) at index k - 1; nullopt: not stored.
    std::array<std::optional<StoredSheet>, kBatchSheets> sheets;
    // Stored curve of sheet k at index k - 1 (empty: none stored).
    std::array<std::vector<double>, kBatchSheets> curves;
    QString company;
    QDate date;
};

// The certificate of a loaded batch (contents.batch must be set).
Certificate certificateOf(const BatchContents& contents, const QString& company, QDate date);

// A stored sheet's values as the sheet grid shows them: 比容 "0.000"; 折弯, 抗拉, Tr, Vm, Vt "0.00";
// NULL empty.
std::array<QString, 6> storedSheetTexts(const StoredSheet& sheet);

// "合格" or "不合格" as the sheet's TV test is judged (tvPasses): "不合格" as soon as one
// comparison fails, "待定" when none fails but one cannot be made (Tr or Vt never reached, the VF
// no number, no limit stored with the sheet); empty for a sheet not stored.
QString sheetJudgement(const std::optional<StoredSheet>& sheet, const QString& vf);
// The limit row's text: the sheet's stored limit, "未记录" when the sheet was stored without one,
// empty for a sheet not stored.
QString sheetLimitText(const std::optional<StoredSheet>& sheet);
std::array<QString, kBatchSheets> sheetJudgements(const Certificate& c);
// "合格" when all six sheets pass, "不合格" when any fails, else "不完整".
QString batchVerdict(const std::array<QString, kBatchSheets>& judgements);

// The whole-batch lines: "编号：B7", "规格：…", …, "出证日期：yyyy/MM/dd".
QStringList certificateFieldLines(const Certificate& c);

// The table's columns hold the sheets in this order: 1, 1', 2, 2', 3, 3'.
inline constexpr int kCertificateColumnSheet[kBatchSheets] = {1, 4, 2, 5, 3, 6};
// Table rows after the heading: captions in the first column.
QStringList certificateRowCaptions();
// The texts of a sheet's column, row by row under its heading.
QStringList certificateColumn(const Certificate& c, int sheet);

// The area on the page that sheet k's curve is drawn in.
QRectF certificateCurveArea(int sheet);
// The points of a stored curve in its area: sample j at the j-th of `samples` steps across,
// 0 V at the bottom and 1.5 × VF at the top (clamped into the area).
std::vector<QPointF> certificateCurvePoints(const std::vector<double>& values, int samples, double vf,
                                            const QRectF& area);

ReportPage layoutCertificate(const Certificate& c);

// "合格证-B7-2026-12-10.pdf"; characters a file name cannot hold become "_".
QString certificateFileName(const QString& serial, QDate date);

}  // namespace varnot
