#include "calibration/calibration_window.h"

#include "acquisition/sampling.h"
#include "ui_text/ui_text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnot {
namespace {

const QString kTitle = QStringLiteral("Varnot智能TV仪测试系统");
const QString kNoStepSize = QStringLiteral("请选择调节方式：粗调或细调！");
const QString kConfirmRestore = QStringLiteral(
    "恢复默认值会把所有通道的校准系数恢复为1，并把时间轴放大倍数恢复为初始值，是否继续？");

QString coefficientText(float v) {
    return QString::number(double(v), 'g', 7);
}

QPushButton* addButton(QLayout* layout, const QString& text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(QString::fromLatin1(name));
    layout->addWidget(b);
    return b;
}

QLineEdit* readoutField(const QString& name) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setAlignment(Qt::AlignRight);
    e->setMaximumWidth(90);
    return e;
}

}  // namespace

CalibrationWindow::CalibrationWindow(CalibrationHost host, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(host), prompter_(prompter) {
    setWindowTitle(QStringLiteral("电压电流校准"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* outer = new QVBoxLayout(this);
    auto* panel = new QGroupBox(QStringLiteral("Varnot型电压电流校准面板"));
    outer->addWidget(panel);
    auto* grid = new QGridLayout(panel);

    // The channels of the current group, from channel 1 on: the list position is the channel index.
    channels_ = new QComboBox;
    channels_->setObjectName(QStringLiteral("channels"));
    channels_->setPlaceholderText(QStringLiteral("选择校准通道"));
    for (int c = 0; c <= host_.state.lastCh; ++c)
        channels_->addItem(QStringLiteral("第%1通道校准").arg(c + 1));
    channels_->setCurrentIndex(-1);
    items_ = new QComboBox;
    items_->setObjectName(QStringLiteral("items"));
    items_->setPlaceholderText(QStringLiteral("选择校准项目"));
    for (int i = 0; i < kCalibrationItemCount; ++i)
        items_->addItem(calibrationItemText(static_cast<CalibrationItem>(i)));
    items_->setCurrentIndex(-1);
    grid->addWidget(new QLabel(QStringLiteral("选择校准通道")), 0, 0);
    grid->addWidget(channels_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("选择校准项目")), 1, 0);
    grid->addWidget(items_, 1, 1);

    auto* sizes = new QGroupBox(QStringLiteral("调节选择："));
    auto* sizeRow = new QHBoxLayout(sizes);
    coarse_ = new QRadioButton(QStringLiteral("粗调"));
    coarse_->setObjectName(QStringLiteral("coarse"));
    fine_ = new QRadioButton(QStringLiteral("细调"));
    fine_->setObjectName(QStringLiteral("fine"));
    sizeRow->addWidget(coarse_);
    sizeRow->addWidget(fine_);
    grid->addWidget(sizes, 2, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    connect(addButton(buttons, QStringLiteral("增加"), "increase"), &QPushButton::clicked, this,
            [this] { step(StepDirection::Increase); });
    connect(addButton(buttons, QStringLiteral("减少"), "decrease"), &QPushButton::clicked, this,
            [this] { step(StepDirection::Decrease); });
    connect(addButton(buttons, QStringLiteral("恢复默认值"), "restore"), &QPushButton::clicked, this,
            [this] { restoreDefaults(); });
    connect(addButton(buttons, QStringLiteral("退出"), "close"), &QPushButton::clicked, this,
            &QWidget::close);
    grid->addLayout(buttons, 3, 0, 1, 2);

    // One frame of live values per listed channel.
    for (int c = 0; c <= host_.state.lastCh; ++c) {
        const QString n = QString::number(c + 1);
        auto* frame = new QGroupBox(n + QStringLiteral("路测试值："));
        auto* rows = new QGridLayout(frame);
        Readout r{c, readoutField(QStringLiteral("voltage") + n),
                  readoutField(QStringLiteral("current") + n), nullptr};
        rows->addWidget(new QLabel(n + QStringLiteral("路电压值：")), 0, 0);
        rows->addWidget(r.voltage, 0, 1);
        rows->addWidget(new QLabel(QStringLiteral("V")), 0, 2);
        rows->addWidget(new QLabel(n + QStringLiteral("路电流值：")), 1, 0);
        rows->addWidget(r.current, 1, 1);
        rows->addWidget(new QLabel(QStringLiteral("mA")), 1, 2);
        r.coefficients = new QLabel;
        r.coefficients->setObjectName(QStringLiteral("coefficients") + n);
        rows->addWidget(r.coefficients, 2, 0, 1, 3);
        outer->addWidget(frame);
        readouts_.push_back(r);
    }
    showLiveTexts();
}

void CalibrationWindow::showLiveTexts() {
    const ConsoleState& s = host_.state;
    for (const Readout& r : readouts_) {
        // A running channel shows what it samples; otherwise the last reading the poll brought,
        // corrected with the coefficients as they stand now, so a step shows at once.
        QString v, i;
        if (s.testRun && r.ch >= s.firstCh && r.ch <= s.lastCh && !s.chStopped[r.ch]) {
            v = s.field(Field::LiveVoltage, r.ch);
            i = s.field(Field::LiveCurrent, r.ch);
        } else {
            const Reading reading = convertReading(r.ch, s.rawVolt[r.ch], s.rawCurr[r.ch],
                                                   s.coefficients.Vadjust[r.ch], s.coefficients.Iadjust[r.ch]);
            v = voltageText(reading.volts);
            i = currentText(reading.milliamperes);
        }
        if (r.voltage->text() != v) r.voltage->setText(v);
        if (r.current->text() != i) r.current->setText(i);
        // Set as the console changes, so in the operator's language here.
        const auto item = [](CalibrationItem i) { return uiText(calibrationItemText(i)) + QStringLiteral(" "); };
        const QString k = item(CalibrationItem::VoltageSampling) + coefficientText(s.coefficients.Vadjust[r.ch]) +
                          QStringLiteral("  ") + item(CalibrationItem::CurrentSampling) +
                          coefficientText(s.coefficients.Iadjust[r.ch]) + QStringLiteral("  ") +
                          item(CalibrationItem::VoltageControl) + coefficientText(s.coefficients.KV[r.ch]) +
                          QStringLiteral("  ") + item(CalibrationItem::CurrentControl) +
                          coefficientText(s.coefficients.KI[r.ch]);
        if (r.coefficients->text() != k) r.coefficients->setText(k);
    }
}

StepSize CalibrationWindow::stepSize() const {
    if (coarse_->isChecked()) return StepSize::Coarse;
    if (fine_->isChecked()) return StepSize::Fine;
    return StepSize::Neither;
}

void CalibrationWindow::step(StepDirection direction) {
    const int ch = channels_->currentIndex();
    std::optional<CalibrationItem> item;
    if (items_->currentIndex() >= 0) item = static_cast<CalibrationItem>(items_->currentIndex());
    if (const std::optional<QString> refusal = stepRefusal(ch, item, direction)) {
        prompter_.message(*refusal, kTitle);
        return;
    }
    if (stepSize() == StepSize::Neither) {
        prompter_.message(kNoStepSize, kTitle);
        return;
    }
    if (host_.step) host_.step(ch, *item, direction, stepSize());
}

void CalibrationWindow::restoreDefaults() {
    if (!prompter_.question(kConfirmRestore, kTitle)) return;
    if (host_.restoreDefaults) host_.restoreDefaults();
}

}  // namespace varnot
