// The batch statistics window ("批次统计"): for one foil grade (规格) and a range of days it
// reads the stored sheets and shows Tr and TV per batch as X̄–R control charts, the change of Tr
// by boiling at each position and the share of sheets judged 不合格. Modeless; it keeps no
// connection open.
#pragma once

#include "common/prompter.h"
#include "statistics/batch_statistics.h"
#include "storage/batch_store.h"

#include <QDate>
#include <QImage>
#include <QWidget>

#include <array>
#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace varnot {

// What the window reaches of the console.
struct StatisticsHost {
    std::function<BatchStore()> store;
    // The rise-time limit the window starts with (channel 1's 升压时间指标).
    std::function<QString()> riseTimeLimit;
    std::function<QDate()> today;
};

class StatisticsWindow : public QWidget {
    Q_OBJECT
  public:
    StatisticsWindow(StatisticsHost host, Prompter& prompter, QWidget* parent = nullptr);

    // The grade list read again from the store.
    void readSpecifications();
    // 查询: reads the sheets, computes the figures and draws the charts.
    void runQuery();

    const BatchStatistics& statistics() const { return statistics_; }
    // The charts: Tr means, Tr ranges, TV means, TV ranges.
    enum Chart { TrMeans, TrRanges, TvMeans, TvRanges };
    const QImage& chart(Chart c) const { return charts_[std::size_t(c)]; }
    QWidget* chartView() const { return chartView_; }
    static QSize chartSize() { return {560, 220}; }

  private:
    void present(const BatchStatistics& s);
    void clearFigures();

    StatisticsHost host_;
    Prompter& prompter_;
    BatchStatistics statistics_;
    std::array<QImage, 4> charts_;
    QComboBox* spec_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QLineEdit* riseLimit_ = nullptr;
    QPushButton* query_ = nullptr;
    QLabel* counts_ = nullptr;
    QLabel* failShare_ = nullptr;
    QTableWidget* boiling_ = nullptr;
    QWidget* chartView_ = nullptr;
};

}  // namespace varnot
