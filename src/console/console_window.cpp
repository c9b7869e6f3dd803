#include "console/console_window.h"

#include "acquisition/sampling.h"
#include "batch/batch_tab.h"
#include "calibration/calibration_window.h"
#include "console/help_window.h"
#include "console/operator_fields.h"
#include "console/plot_view.h"
#include "history/history_window.h"
#include "statistics/statistics_window.h"
#include "report/report_printer.h"
#include "settings/field_catalogue.h"
#include "settings/validation.h"
#include "ui_text/ui_text.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QTableWidget>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace varnot {
namespace {

const char* kTabTitles[] = {"1-6通道测试图", "3合1比较显示", "6合1比较显示", "铝箔TV-漏电流参数设置", "电解液参数设置",
                            "批次"};

const Field kTvFrame[] = {Field::FormationVoltage, Field::VrRatio,          Field::TestCurrent,
                          Field::DelayTime,        Field::RiseTimeLimit,    Field::RiseTime,
                          Field::TvValue,          Field::TvJudgement,      Field::LeakageVoltage,
                          Field::LeakageLimit,     Field::LeakageTestTime,  Field::LeakageCurrent,
                          Field::LeakageJudgement, Field::TvTestNumber,     Field::TvOperator,
                          Field::WaterTemperature, Field::TvTestDate,       Field::TvPosition};
const Field kElecFrame[] = {Field::ElecCurrent,    Field::ElecSetVoltage, Field::ElecReference, Field::SparkDelay,
                            Field::SparkCorrection, Field::MaxVoltage,    Field::MinVoltage,    Field::ElecJudgement,
                            Field::Spark1Voltage,  Field::Spark1Time,     Field::Spark2Voltage, Field::Spark2Time,
                            Field::Spark3Voltage,  Field::Spark3Time,     Field::ElecTestNumber, Field::ElecOperator,
                            Field::ElecTestDate,   Field::ElecPosition};

// Selection boxes change only on a wheel aimed at them: over a box without focus the wheel is
// passed on to the page around it, so a wheel on its way down the page changes no position code.
class WheelGuard : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::Wheel) return false;
        const auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->hasFocus()) return false;
        e->ignore();
        return true;
    }
};

// The readouts beside each channel plot: V, I, TA, TB, Vm, VT.
const Field kReadouts[] = {Field::LiveVoltage, Field::LiveCurrent, Field::ReadoutTA,
                           Field::ReadoutTB,   Field::ReadoutVm,   Field::ReadoutVT};

// The widest texts a readout or result box has to hold whole: voltages "###0.0" below 10000 V,
// currents "#0.000" below 100 mA, sample times up to 6000 s, and the judgements; "0" stands for
// any digit.
const char* const kWidestValues[] = {"0000.0", "00.000", "不合格"};

// The width of a line edit that shows each of those texts without scrolling: the text, the
// cursor, the edit's own margins and the style's frame.
int widthForWidest(const QLineEdit* edit) {
    const QFontMetrics fm(edit->font());
    int text = 0;
    for (const char* pattern : kWidestValues)
        for (char d = '0'; d <= '9'; ++d) {
            QString t = QString::fromUtf8(pattern);
            t.replace(QLatin1Char('0'), QLatin1Char(d));
            text = std::max(text, fm.horizontalAdvance(t));
        }
    const QMargins tm = edit->textMargins(), cm = edit->contentsMargins();
    const int inner = text + 1 + 2 * 2 + tm.left() + tm.right() + cm.left() + cm.right();
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.state |= QStyle::State_Sunken;
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, QSize(inner, fm.height()), edit).width() + 2;
}

// A field's editor is named by its legacy control id and channel index: "Text1(0)".
QString objectNameOf(Field f, int ch) {
    return QString::fromLatin1(fieldSpec(f).legacyId) + QLatin1Char('(') + QString::number(ch) + QLatin1Char(')');
}

}  // namespace

ConsoleWindow::ConsoleWindow(Console& console, QWidget* parent) : QMainWindow(parent), console_(console) {
    setWindowTitle(QStringLiteral("Varnot-2010062901ERP-1.15智能TV仪测试系统"));
    reports_ = std::make_unique<ReportPrinter>([this] { return console_.reportState(); }, console_.plots(), console_.settings(),
                                               [this]() -> Prompter& { return *prompter_; });
    buildMenus();
    buildToolbar();
    tabs_ = new QTabWidget(this);
    for (int t = 0; t < 3; ++t) tabs_->addTab(buildPlotTab(t), QString::fromUtf8(kTabTitles[t]));
    tabs_->addTab(buildParameterTab(false), QString::fromUtf8(kTabTitles[3]));
    tabs_->addTab(buildParameterTab(true), QString::fromUtf8(kTabTitles[4]));
    tabs_->addTab(buildBatchTab(), QString::fromUtf8(kTabTitles[5]));
    connect(tabs_, &QTabWidget::currentChanged, &console_, &Console::selectTab);
    setCentralWidget(tabs_);
    for (int i = 0; i < 7; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setMinimumWidth(i == 6 ? 160 : 120);
        statusBar()->addWidget(panels_[i]);
    }
    startReason_ = new QLabel(this);
    startReason_->setObjectName(QStringLiteral("startReason"));
    statusBar()->addPermanentWidget(startReason_);
    notices_ = new QLabel(this);
    notices_->setObjectName(QStringLiteral("notices"));
    notices_->setStyleSheet(QStringLiteral("color: #b00000"));
    statusBar()->addPermanentWidget(notices_);
    temperature_ = new QLabel(this);
    statusBar()->addPermanentWidget(temperature_);
    auto* wheelGuard = new WheelGuard(this);
    const auto guard = [wheelGuard](QWidget* box) {
        box->setFocusPolicy(Qt::StrongFocus);  // a wheel gives them no focus either
        box->installEventFilter(wheelGuard);
    };
    for (QComboBox* box : findChildren<QComboBox*>()) guard(box);
    for (QAbstractSpinBox* box : findChildren<QAbstractSpinBox*>()) guard(box);
    connect(&console_, &Console::changed, this, &ConsoleWindow::refresh);
    resize(1280, 860);
    centreOnScreen();
    refresh();
}

void ConsoleWindow::centreOnScreen() {
    if (const QScreen* s = screen()) move(centredTopLeft(s->availableGeometry(), frameGeometry().size()));
}

void ConsoleWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    newMenu_ = addCommand(file, QStringLiteral("新建"), [this] { console_.resetChannels(); });
    addCommand(file, QStringLiteral("保存(&S)"), [this] { console_.save2Click(); });
    addCommand(file, QStringLiteral("另存为"), [this] { console_.exportPlots(); });
    addCommand(file, QStringLiteral("导出CSV"), [this] { console_.exportCsv(); })->setObjectName(QStringLiteral("exportCsv"));
    for (const PrintCommand& p : kPrintCommands) {
        const QString key = QString::fromLatin1(p.key);
        addCommand(file, QString::fromUtf8(p.caption), [this, key] { reports_->command(key); })->setObjectName(key);
    }
    // Closing completes the entry itself (closeEvent).
    file->addAction(QStringLiteral("退出(&X)"), this, &QWidget::close);

    commMenu_ = menuBar()->addMenu(QStringLiteral("通讯设置(&C)"));
    QMenu* open = commMenu_->addMenu(QStringLiteral("打开串口"));
    for (int p = 1; p <= 5; ++p)
        addCommand(open, QStringLiteral("COM%1").arg(p), [this, p] { console_.connection().serialConnect(p); });
    addCommand(commMenu_, QStringLiteral("关闭串口"), [this] { console_.closeSerialCommand(); });
    ethernetMenu_ = addCommand(commMenu_, QStringLiteral("以太网连接"), [this] { console_.ethernetCommand(); });

    QAction* query = menuBar()->addAction(QStringLiteral("查询"), this, [this] { command([this] { openHistory(); }); });
    query->setObjectName(QStringLiteral("query1"));

    QAction* calibration =
        menuBar()->addAction(QStringLiteral("电压电流校准"), this, [this] { command([this] { openCalibration(); }); });
    calibration->setObjectName(QStringLiteral("calibration"));

    QAction* report = menuBar()->addAction(QStringLiteral("合并报表"), this,
                                           [this] { command([this] { batchTab_->screen().mergedReport(); }); });
    report->setObjectName(QStringLiteral("mergedReport"));

    // 批次统计: the batch statistics window, modeless; a second click brings the open one forward.
    QAction* statistics = menuBar()->addAction(QStringLiteral("批次统计"), this, [this] {
        command([this] {
            auto* w = findChild<StatisticsWindow*>();
            if (!w) {
                StatisticsHost host{[this] { return console_.batchStore(); },
                                    [this] { return console_.state().field(Field::RiseTimeLimit, 0); },
                                    &QDate::currentDate};
                w = new StatisticsWindow(std::move(host), *prompter_, this);
            }
            w->show();
            w->raise();
            w->activateWindow();
        });
    });
    statistics->setObjectName(QStringLiteral("statistics"));

    QMenu* operate = menuBar()->addMenu(QStringLiteral("操作"));
    addCommand(operate, QStringLiteral("显示电流图像"), [this] { console_.setCurrentVisible(true); });
    addCommand(operate, QStringLiteral("隐藏电流图像"), [this] { console_.setCurrentVisible(false); });

    QMenu* plots = menuBar()->addMenu(QStringLiteral("图形设置(&I)"));
    addCommand(plots, QStringLiteral("1-6通道时间轴坐标放大"), [this] { console_.zoomChannels(true); });
    addCommand(plots, QStringLiteral("1-6通道时间轴坐标缩小"), [this] { console_.zoomChannels(false); });
    addCommand(plots, QStringLiteral("组合通道时间轴坐标放大"), [this] { console_.zoomCombined(true); });
    addCommand(plots, QStringLiteral("组合通道时间轴坐标放小"), [this] { console_.zoomCombined(false); });

    QAction* help = menuBar()->addAction(QStringLiteral("帮助(&H)"), this, [this] { command([this] { openHelp(); }); });
    help->setObjectName(QStringLiteral("help"));
}

QAction* ConsoleWindow::addCommand(QMenu* menu, const QString& text, std::function<void()> action) {
    return menu->addAction(text, this, [this, action = std::move(action)] { command(action); });
}

void ConsoleWindow::command(const std::function<void()>& action) {
    completeFocusedEntry();
    if (operatorFields_) operatorFields_->completeFocused();
    action();
}

void ConsoleWindow::completeFocusedEntry() {
    // A toolbar button or a menu entry does not take the focus from the field being typed in, so
    // the field never reports the end of its entry by itself: the entry is completed here, before
    // the command reads the fields.
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return;
    for (const FieldEdit& e : edits_) {
        if (e.widget != focus) continue;
        if (auto* edit = qobject_cast<QLineEdit*>(e.widget)) completeEntry(edit, e.field, e.ch);
        return;
    }
}

void ConsoleWindow::completeEntry(QLineEdit* edit, Field f, int ch) {
    // Once per entry: a field left without typing is not completed again (a completed 化成电压
    // would redraw its axes and erase the curves on them).
    if (!edit->isModified()) return;
    edit->setModified(false);
    console_.completeEntry(f, ch);
}

void ConsoleWindow::buildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("toolbar"));
    toolbar_->setMovable(false);
    for (const char* key : {"new2", "save2", "query2", "test13", "test46", "test16", "stop16", "RJ45_connect"}) {
        const QString k = QString::fromLatin1(key);
        QAction* a = toolbar_->addAction(console_.state().toolbar[k].caption);
        a->setObjectName(k);
        if (k == u"query2")
            connect(a, &QAction::triggered, this, [this] { command([this] { openHistory(); }); });
        else
            connect(a, &QAction::triggered, this, [this, k] { command([this, k] { console_.toolbarCommand(k); }); });
        buttons_[k] = a;
    }
    QAction* reprint = toolbar_->addAction(QStringLiteral("打印"));
    reprint->setObjectName(QString::fromLatin1(kReprintKey));
    connect(reprint, &QAction::triggered, this,
            [this] { command([this] { reports_->command(QString::fromLatin1(kReprintKey)); }); });
}

QWidget* ConsoleWindow::buildPlotTab(int tab) {
    auto* w = new QWidget;
    auto* grid = new QGridLayout(w);
    Plots& plots = console_.plots();
    auto addView = [&](const PlotSurface& s) {
        auto* v = new PlotView(s, w);
        plotViews_.push_back(v);
        return v;
    };
    if (tab == 0) {
        for (int ch = 0; ch < 6; ++ch) {
            auto* cell = new QWidget;
            auto* col = new QVBoxLayout(cell);
            col->setContentsMargins(0, 0, 0, 0);
            PlotView* v = addView(*plots.TV[ch]);
            v->mouseAt = [this, ch](double x, double y) { console_.mouseOverChannelPlot(ch, x, y); };
            col->addWidget(v, 1);
            channelReadout_[ch] = new QLabel;
            col->addWidget(channelReadout_[ch]);
            // Two rows of three readouts, each box as wide as the widest value it can show.
            auto* rows = new QGridLayout;
            for (int r = 0; r < 6; ++r) {
                readoutCaption_[ch][r] = new QLabel;
                auto* box = new QLineEdit;
                box->setReadOnly(true);
                box->setObjectName(objectNameOf(kReadouts[r], ch));
                box->setFixedWidth(widthForWidest(box));
                readoutValue_[ch][r] = box;
                rows->addWidget(readoutCaption_[ch][r], r / 3, 2 * (r % 3));
                rows->addWidget(box, r / 3, 2 * (r % 3) + 1);
            }
            rows->setColumnStretch(6, 1);
            col->addLayout(rows);
            grid->addWidget(cell, ch / 3, ch % 3);
        }
    } else {
        const auto overlay = [this](bool all, int group) {
            return [this, all, group] {
                std::vector<OverlayLabel> labels;
                const Plots& p = console_.plots();
                for (int ch = 0; ch < kChannels; ++ch) {
                    if (!all && groupOf(ch) != group) continue;
                    labels.push_back({all ? p.allLabel[ch] : p.groupLabel[ch], QString::number(ch + 1),
                                      all ? allColour(ch) : groupColour(ch)});
                }
                return labels;
            };
        };
        const int first = tab == 1 ? 0 : 2, last = tab == 1 ? 1 : 2;
        for (int p = first; p <= last; ++p) {
            groupReadout_[p] = new QLabel;
            grid->addWidget(groupReadout_[p], 2 * (p - first), 0);
            PlotView* v = addView(*plots.TV16[p]);
            v->overlay = overlay(p == 2, p);
            v->mouseAt = [this, p](double x, double y) { console_.mouseOverGroupPlot(p, x, y); };
            grid->addWidget(v, 2 * (p - first) + 1, 0);
        }
    }
    return w;
}

QWidget* ConsoleWindow::buildGroupSwitches(int group) {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    const QString range = group == 0 ? QStringLiteral("1-3") : QStringLiteral("4-6");
    std::vector<QGroupBox*> boxes;
    auto makeSet = [&](const QString& title, const std::vector<QString>& choices, auto&& onChoice) {
        auto* g = new QGroupBox(title);
        boxes.push_back(g);
        auto* l = new QHBoxLayout(g);
        auto* set = new QButtonGroup(g);
        std::vector<QRadioButton*> out;
        for (std::size_t i = 0; i < choices.size(); ++i) {
            auto* r = new QRadioButton(choices[i]);
            set->addButton(r, static_cast<int>(i));
            l->addWidget(r);
            out.push_back(r);
        }
        connect(set, &QButtonGroup::idClicked, this, onChoice);
        row->addWidget(g);
        return out;
    };
    auto b = makeSet(QStringLiteral("水煮参数") + range + QStringLiteral("："), {QStringLiteral("水煮前："), QStringLiteral("水煮后：")},
                     [this, group](int id) { console_.selectBoiling(group, id ? Console::Boiling::After : Console::Boiling::Before); });
    auto k = makeSet(QStringLiteral("测试参数") + range, {QStringLiteral("TV测试："), QStringLiteral("漏电流："), QStringLiteral("电解液：")},
                     [this, group](int id) { console_.selectKind(group, static_cast<TestKind>(id)); });
    auto l = makeSet(QStringLiteral("参数联动") + range, {QStringLiteral("参数联动"), QStringLiteral("不 联 动")},
                     [this, group](int id) { console_.selectLinkage(group, id == 0); });
    boilingSwitch_[group] = {b[0], b[1]};
    kindSwitch_[group] = {k[0], k[1], k[2]};
    linkSwitch_[group] = {l[0], l[1]};
    switchBoxes_[group] = {boxes[0], boxes[1], boxes[2]};
    return box;
}

QWidget* ConsoleWindow::buildParameterTab(bool electrolyte) {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    if (!electrolyte) {
        operatorFields_ = new OperatorFields(console_);
        outer->addWidget(operatorFields_);
        outer->addWidget(buildGroupSwitches(0));
        outer->addWidget(buildGroupSwitches(1));
    }
    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    for (int ch = 0; ch < kChannels; ++ch) {
        auto* frame = new QGroupBox((electrolyte ? QStringLiteral("电解液通道") : QStringLiteral("TV通道")) +
                                    QString::number(ch + 1) + QStringLiteral("数据显示"));
        auto* form = new QGridLayout(frame);
        int row = 0;
        const auto addField = [&](Field f) {
            QWidget* editor;
            if (f == Field::TvPosition || f == Field::ElecPosition) {
                auto* combo = new QComboBox;
                for (const char* code : kPositionCodes) combo->addItem(QString::fromLatin1(code));
                connect(combo, &QComboBox::currentTextChanged, this,
                        [this, f, ch](const QString& t) { console_.setFieldText(f, ch, t); });
                editor = combo;
                form->addWidget(new QLabel(QStringLiteral("位置：")), row, 0);
            } else {
                auto* edit = new QLineEdit;
                if (fieldSpec(f).entry == FieldEntry::Result) edit->setMinimumWidth(widthForWidest(edit));
                connect(edit, &QLineEdit::textEdited, this, [this, edit, f, ch](const QString& t) {
                    console_.setFieldText(f, ch, t);
                    // Vr取值比 takes every change that is a valid value as it is typed; a text on
                    // its way to one ("", "1.") waits for the end of the entry, which refuses it
                    // if it stays so.
                    if (f == Field::VrRatio && entryRefusal(f, t).isEmpty()) completeEntry(edit, f, ch);
                });
                connect(edit, &QLineEdit::editingFinished, this, [this, edit, f, ch] { completeEntry(edit, f, ch); });
                edit->setObjectName(objectNameOf(f, ch));
                editor = edit;
                form->addWidget(new QLabel(fieldCaption(f, ch)), row, 0);
            }
            editor->setObjectName(QString::fromLatin1(fieldSpec(f).legacyId) + QStringLiteral("(%1)").arg(ch));
            form->addWidget(editor, row, 1);
            edits_.push_back({f, ch, editor});
            ++row;
            addRangeHint(form, row, f, ch);
        };
        for (Field f : electrolyte ? std::span<const Field>(kElecFrame) : std::span<const Field>(kTvFrame)) addField(f);
        grid->addWidget(frame, ch / 3, ch % 3);
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    return scroll;
}

void ConsoleWindow::addRangeHint(QGridLayout* form, int& row, Field f, int ch) {
    const QString hint = rangeHint(f);
    if (hint.isEmpty()) return;
    auto* label = new QLabel(hint);
    label->setObjectName(QStringLiteral("hint") + objectNameOf(f, ch));
    form->addWidget(label, row++, 1);
}

QWidget* ConsoleWindow::buildBatchTab() {
    BatchHost host{console_.batch(), console_.batchStore(), [this]() -> Prompter& { return *prompter_; }};
    host.showBatch = [this](const BatchContents& contents) { return console_.showBatch(contents); };
    host.confirmDiscard = [this] { return console_.confirmDiscard(0, kChannels - 1); };
    host.batchDeleted = [this] { console_.batchDeleted(); };
    host.chooseField = [this](BatchField f, const QString& text) { console_.chooseBatchField(f, text); };
    host.chooseDate = [this](QDate date) { console_.chooseBatchDate(date); };
    host.running = [this] { return console_.supervising(); };
    host.today = [this] { return console_.today(); };
    // The screen's own search lists: its tab shows them.
    host.changed = [this] {
        if (batchTab_) batchTab_->refresh();
    };
    host.programFolder = QCoreApplication::applicationDirPath();
    // The certificate goes where the reports go.
    host.documentsFolder = [this] { return reports_->documentsFolder(); };
    host.company = [this] { return console_.settings().read(Section::Topic, u"COMPANY"); };
    batchTab_ = new BatchTab(
        std::move(host), [this](BatchField f, const QString& t) { console_.setBatchField(f, t); },
        [this](int k, SheetValue v, const QString& t) { console_.setSheetValue(k, v, t); });
    return batchTab_;
}

void ConsoleWindow::refresh() {
    const ConsoleState& s = console_.state();
    // A start button the temperature window switched off says why, as the status bar does.
    const bool betweenRuns = !console_.supervising() && !s.startPending && !s.startBlocked.isEmpty();
    bool startBlocked = false;
    for (const auto& [key, action] : buttons_) {
        const auto it = s.toolbar.find(key);
        if (it == s.toolbar.end()) continue;
        action->setText(uiText(it->second.caption));
        action->setEnabled(it->second.enabled && s.toolbarEnabled && console_.commandAllowed(key));
        const bool startKey = key == u"test13" || key == u"test46" || key == u"test16";
        const bool blocked = startKey && betweenRuns && !it->second.enabled;
        startBlocked = startBlocked || blocked;
        action->setToolTip(blocked ? uiText(s.startBlocked) : action->text());
    }
    startReason_->setText(startBlocked ? uiText(s.startBlocked) : QString());
    QStringList notices;
    for (const QString& n : console_.notices()) notices << uiText(n);
    notices_->setText(notices.join(QStringLiteral("  ")));
    notices_->setToolTip(notices.join(u'\n'));
    newMenu_->setEnabled(console_.commandAllowed(QStringLiteral("new2")));
    toolbar_->setVisible(s.toolbarVisible);
    ethernetMenu_->setText(uiText(s.ethernetMenu.caption));
    ethernetMenu_->setEnabled(s.ethernetMenu.enabled);
    commMenu_->setEnabled(s.commMenu.enabled);
    for (int i = 0; i < 7; ++i) panels_[i]->setText(uiText(s.statusPanels[i]));
    temperature_->setText(uiText(QStringLiteral("测试温度：") + s.testTemperature + QStringLiteral("  机箱温度：") +
                                 s.chassisTemperature));
    for (const FieldEdit& e : edits_) {
        // Results (the judgements among them) are the console's texts; what is typed is the operator's.
        const QString text = fieldSpec(e.field).entry == FieldEntry::Result ? uiText(s.field(e.field, e.ch))
                                                                            : s.field(e.field, e.ch);
        e.widget->setEnabled(console_.view().fieldEnabled[static_cast<int>(e.field)][e.ch] &&
                             !console_.entryLocked(e.field, e.ch));
        if (auto* edit = qobject_cast<QLineEdit*>(e.widget)) {
            // The field being typed in shows what the model made of the entry too.
            if (edit->text() != text) edit->setText(text);
        } else if (auto* combo = qobject_cast<QComboBox*>(e.widget)) {
            if (combo->currentText() != text) combo->setCurrentText(text);
        }
    }
    for (int g = 0; g < 2; ++g) {
        kindSwitch_[g][static_cast<int>(s.kind[firstOfGroup(g)])]->setChecked(true);
        boilingSwitch_[g][console_.boiling(g) == Console::Boiling::After]->setChecked(true);
        linkSwitch_[g][console_.linkageSwitch(g) ? 0 : 1]->setChecked(true);
        using S = Console::GroupSwitch;
        const S order[] = {S::Boiling, S::Kind, S::Linkage};  // as built in buildGroupSwitches
        for (int i = 0; i < 3; ++i) switchBoxes_[g][i]->setEnabled(!console_.switchLocked(order[i], g));
    }
    const ChannelView& view = console_.view();
    const auto readoutStyle = [](bool active) { return active ? QStringLiteral("color: blue") : QString(); };
    for (int ch = 0; ch < kChannels; ++ch) {
        readoutCaption_[ch][0]->setText(QStringLiteral("V") + QString::number(ch + 1));
        readoutCaption_[ch][1]->setText(QStringLiteral("I") + QString::number(ch + 1));
        for (int r = 0; r < 4; ++r) readoutCaption_[ch][r + 2]->setText(uiText(view.readoutLabels[ch][r]));
        for (int r = 0; r < 6; ++r) readoutValue_[ch][r]->setText(s.field(kReadouts[r], ch));
        channelReadout_[ch]->setText(uiText(console_.channelReadouts()[ch]));
        channelReadout_[ch]->setStyleSheet(readoutStyle(console_.readoutActive(false, ch)));
    }
    for (int p = 0; p < 3; ++p) {
        groupReadout_[p]->setText(uiText(console_.groupReadouts()[p]));
        groupReadout_[p]->setStyleSheet(readoutStyle(console_.readoutActive(true, p)));
    }
    batchTab_->refresh();
    for (PlotView* v : plotViews_) v->update();
}

void ConsoleWindow::showTab(int tab) { tabs_->setCurrentIndex(tab); }

HistoryWindow* ConsoleWindow::historyWindow() const { return history_.data(); }

void ConsoleWindow::openHistory() {
    if (!history_) {
        HistoryHost host;
        host.channel1Kind = [this] { return console_.state().kind[0]; };
        host.showStoredRecord = [this](int displayGroup, int slot, const StoredRecord& record, QString* error) {
            return console_.showStoredRecord(displayGroup, slot, record, error);
        };
        host.shown = [this] {
            raise();
            activateWindow();
        };
        host.running = [this] { return console_.supervising(); };
        host.rereadStoredCount = [this] { console_.rereadStoredCount(); };
        host.recordsDeleted = [this](TestKind kind, const QStringList& names) { console_.recordsDeleted(kind, names); };
        history_ = new HistoryWindow(console_.testDatabases().folder(), *prompter_, std::move(host), this);
        // A run that starts closes it.
        connect(&console_, &Console::runStarting, history_.data(), &QWidget::close);
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

CalibrationWindow* ConsoleWindow::calibrationWindow() const { return calibration_.data(); }

void ConsoleWindow::openCalibration() {
    if (!calibration_) {
        CalibrationHost host{console_.state(), {}, {}};
        host.step = [this](int ch, CalibrationItem item, StepDirection direction, StepSize size) {
            console_.calibrate(ch, item, direction, size);
        };
        host.restoreDefaults = [this] { console_.restoreCalibrationDefaults(); };
        calibration_ = new CalibrationWindow(host, *prompter_, this);
        // Its readouts follow the console's live texts.
        connect(&console_, &Console::changed, calibration_.data(), &CalibrationWindow::showLiveTexts);
    }
    calibration_->show();
    calibration_->raise();
    calibration_->activateWindow();
}

HelpWindow* ConsoleWindow::helpWindow() const { return help_.data(); }

void ConsoleWindow::openHelp() {
    if (!help_) help_ = new HelpWindow(this);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

ConsoleWindow::~ConsoleWindow() {
    // Going away, the window neither shows the model nor feeds it: a field losing the focus while
    // the widgets are torn down must not reach the model, nor the model's changes this window.
    disconnect(&console_, nullptr, this, nullptr);
    for (QObject* child : findChildren<QObject*>()) {
        disconnect(child, nullptr, this, nullptr);
        disconnect(child, nullptr, &console_, nullptr);
        if (operatorFields_) disconnect(child, nullptr, operatorFields_, nullptr);
    }
}

void ConsoleWindow::closeEvent(QCloseEvent* e) {
    if (!readyToClose_) {
        if (stoppingForClose_) {  // the instrument's answer to the stop is still awaited
            e->ignore();
            return;
        }
        completeFocusedEntry();
        // A run in progress or a finished test not stored whole is asked about first; No keeps
        // everything as it is.
        if (!console_.confirmClose()) {
            e->ignore();
            return;
        }
        // Closing writes nothing: the address or temperature bound still being typed is not kept.
        if (operatorFields_) operatorFields_->dropPendingEntries();
        // A run in progress is stopped on the instrument before its link closes: the window closes
        // once the stop frame was answered (or its wait ran out).
        const bool waiting = console_.stopInstrumentBeforeClose([window = QPointer<ConsoleWindow>(this)] {
            if (!window) return;  // gone meanwhile
            window->readyToClose_ = true;
            if (window->stoppingForClose_)
                QMetaObject::invokeMethod(window.data(), &QWidget::close, Qt::QueuedConnection);
        });
        if (waiting && !readyToClose_) {
            stoppingForClose_ = true;
            for (QWidget* w : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(toolbar_), centralWidget()})
                w->setEnabled(false);
            e->ignore();
            return;
        }
    }
    if (operatorFields_) operatorFields_->dropPendingEntries();
    console_.unload();
    // The windows opened from the console go with it.
    for (QWidget* w : {static_cast<QWidget*>(history_.data()), static_cast<QWidget*>(calibration_.data()),
                       static_cast<QWidget*>(help_.data()), static_cast<QWidget*>(findChild<StatisticsWindow*>())})
        if (w) w->close();
    e->accept();
}

}  // namespace varnot
