#include "statistics/statistics_window.h"

#include "common/text_number.h"
#include "statistics/chart_image.h"
#include "statistics/statistics_source.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace varnot {

namespace {

// The window's texts.
const QString kTitle = QStringLiteral("批次统计");
const QString kInfo = QStringLiteral("信息提示");
const QString kNoResult = QStringLiteral("没有符合条件的查询结果！");
const QString kNoSpec = QStringLiteral("请选择规格！");
const QString kBadLimit = QStringLiteral("升压时间指标必须是数字！");
const QString kReadFailed = QStringLiteral("无法读取批次数据库：");
const QStringList kBoilingHeader = {QStringLiteral("水煮前Tr"), QStringLiteral("水煮后Tr"),
                                    QStringLiteral("变化"), QStringLiteral("批数")};
const QStringList kPositions = {QStringLiteral("1/1'"), QStringLiteral("2/2'"), QStringLiteral("3/3'")};
const std::array<const char*, 4> kChartTitles = {"Tr 均值图", "Tr 极差图", "TV 均值图", "TV 极差图"};

QString twoPlaces(double v) {
    return formatNumber(v, u"0.00");
}

// The four chart images, two by two: Tr on the left, TV on the right, means above ranges.
class ChartView : public QWidget {
  public:
    explicit ChartView(const std::array<QImage, 4>& charts) : charts_(charts) {
        const QSize s = StatisticsWindow::chartSize();
        setMinimumSize(2 * s.width(), 2 * s.height());
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const QSize s = StatisticsWindow::chartSize();
        for (int i = 0; i < 4; ++i)
            if (!charts_[std::size_t(i)].isNull())
                painter.drawImage(QPoint((i / 2) * s.width(), (i % 2) * s.height()), charts_[std::size_t(i)]);
    }

  private:
    const std::array<QImage, 4>& charts_;
};

}  // namespace

StatisticsWindow::StatisticsWindow(StatisticsHost host, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(std::move(host)), prompter_(prompter) {
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    const auto named = [](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    spec_ = named(new QComboBox, "spec");
    spec_->setEditable(true);
    spec_->setMinimumContentsLength(12);
    const QDate today = host_.today ? host_.today() : QDate::currentDate();
    from_ = named(new QDateEdit(today.addMonths(-1)), "dateFrom");
    to_ = named(new QDateEdit(today), "dateTo");
    for (QDateEdit* d : {from_, to_}) {
        d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        d->setCalendarPopup(true);
    }
    riseLimit_ =
        named(new QLineEdit(host_.riseTimeLimit ? host_.riseTimeLimit() : QString()), "riseTimeLimit");
    query_ = named(new QPushButton(QStringLiteral("查询")), "query");
    counts_ = named(new QLabel, "counts");
    failShare_ = named(new QLabel, "failShare");
    boiling_ = named(new QTableWidget(3, 4), "boiling");
    boiling_->setHorizontalHeaderLabels(kBoilingHeader);
    boiling_->setVerticalHeaderLabels(kPositions);
    boiling_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) boiling_->setItem(r, c, new QTableWidgetItem);
    boiling_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    boiling_->horizontalHeader()->setDefaultSectionSize(90);
    boiling_->setFixedWidth(boiling_->verticalHeader()->sizeHint().width() + 4 * 90 + 4);
    boiling_->setFixedHeight(boiling_->horizontalHeader()->sizeHint().height() +
                             3 * boiling_->verticalHeader()->defaultSectionSize() + 4);
    chartView_ = named(new ChartView(charts_), "charts");

    auto* conditions = new QHBoxLayout;
    conditions->addWidget(new QLabel(QStringLiteral("规格：")));
    conditions->addWidget(spec_);
    conditions->addWidget(new QLabel(QStringLiteral("日期：")));
    conditions->addWidget(from_);
    conditions->addWidget(new QLabel(QStringLiteral("至")));
    conditions->addWidget(to_);
    conditions->addWidget(new QLabel(QStringLiteral("升压时间指标：")));
    conditions->addWidget(riseLimit_);
    conditions->addWidget(query_);
    conditions->addStretch(1);

    auto* counts = new QHBoxLayout;
    counts->addWidget(counts_);
    counts->addSpacing(30);
    counts->addWidget(failShare_);
    counts->addStretch(1);
    auto* table = new QHBoxLayout;
    table->addWidget(boiling_);
    table->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(conditions);
    layout->addLayout(counts);
    layout->addLayout(table);
    layout->addWidget(chartView_, 1);

    connect(query_, &QPushButton::clicked, this, &StatisticsWindow::runQuery);
    readSpecifications();
}

void StatisticsWindow::readSpecifications() {
    QString error;
    const QStringList specs = statisticsSpecifications(host_.store(), &error);
    if (!error.isEmpty()) {
        prompter_.message(kReadFailed + error, kInfo);
        return;
    }
    const QString current = spec_->currentText();
    spec_->clear();
    spec_->addItems(specs);
    spec_->setCurrentText(current);
}

void StatisticsWindow::runQuery() {
    const QString spec = spec_->currentText().trimmed();
    if (spec.isEmpty()) {
        prompter_.message(kNoSpec, kInfo);
        return;
    }
    std::optional<double> limit;
    if (const QString t = riseLimit_->text().trimmed(); !t.isEmpty()) {
        limit = toDouble(t);
        if (!limit) {
            prompter_.message(kBadLimit, kInfo);
            return;
        }
    }
    const SheetRecords read = readSheetRecords(host_.store(), spec, from_->date(), to_->date());
    if (!read.error.isEmpty()) {
        clearFigures();
        prompter_.message(kReadFailed + read.error, kInfo);
        return;
    }
    if (read.sheets.empty()) {
        clearFigures();
        prompter_.message(kNoResult, kInfo);
        return;
    }
    present(batchStatistics(read.sheets, limit));
}

void StatisticsWindow::clearFigures() {
    present(BatchStatistics{});
}

void StatisticsWindow::present(const BatchStatistics& s) {
    statistics_ = s;
    const int batches = int(s.serials.size());
    if (batches == 0) {
        counts_->clear();
        failShare_->clear();
        for (QImage& c : charts_) c = QImage();
    } else {
        QString counts = QStringLiteral("批数：%1    片数：%2").arg(batches).arg(s.sheets);
        const int leftOut = std::max(s.tr.leftOut, s.tv.leftOut);
        if (leftOut) counts += QStringLiteral("    少于2片未入图：%1批").arg(leftOut);
        counts_->setText(counts);
        QString fails = QStringLiteral("不合格：%1/%2片（%3%）")
                            .arg(s.fails.failed)
                            .arg(s.fails.judged)
                            .arg(formatNumber(100.0 * s.fails.share(), u"0.0"));
        if (s.fails.unjudged) fails += QStringLiteral("    未判定：%1片").arg(s.fails.unjudged);
        failShare_->setText(fails);
        const XbarRChart* source[] = {&s.tr, &s.tr, &s.tv, &s.tv};
        for (std::size_t i = 0; i < 4; ++i)
            charts_[i] = chartImage(*source[i], i % 2 ? ChartKind::Ranges : ChartKind::Means, batches,
                                    QString::fromUtf8(kChartTitles[i]), chartSize());
    }
    for (int r = 0; r < 3; ++r) {
        const BoilingChange& b = s.boiling[std::size_t(r)];
        const QStringList row = b.pairs ? QStringList{twoPlaces(b.before), twoPlaces(b.after),
                                                      twoPlaces(b.change), QString::number(b.pairs)}
                                        : QStringList{{}, {}, {}, QStringLiteral("0")};
        for (int c = 0; c < 4; ++c) boiling_->item(r, c)->setText(batches ? row[c] : QString());
    }
    chartView_->update();
}

}  // namespace varnot
