#include "history/history_window.h"

#include "acquisition/csv_export.h"
#include "history/modify_window.h"
#include "history/record_display.h"
#include "ui_text/ui_text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QVBoxLayout>

namespace varnot {

namespace {

// The window's texts.
const QString kTitle = QStringLiteral("历史数据查询");
const QString kInfo = QStringLiteral("信息提示");
const QString kNoResult = QStringLiteral("没有符合条件的查询结果！");
const QString kNoSelection = QStringLiteral("操作错误！您还没有选中任何一条记录！");
const QString kConfirmOne = QStringLiteral("您确定要删除所选记录吗？");
const QString kDeleted = QStringLiteral("删除完毕！");
const QString kRunning = QStringLiteral("测试正在进行，不能显示记录！");
const QString kBadRunCount = QStringLiteral("删除的条数必须是大于0的整数！请重新输入。");
// A delete that left records: which, and why; with the count of those it did delete.
QString deleteReport(const DeleteOutcome& outcome) {
    QString text;
    if (!outcome.deleted.isEmpty())
        text = QStringLiteral("已删除 ") + QString::number(outcome.deleted.size()) + QStringLiteral(" 条记录。\n");
    return text + QStringLiteral("以下记录未能删除：") + outcome.left.join(QStringLiteral("、")) +
           QStringLiteral("\n原因：") + outcome.reason;
}
QString confirmRun(const QString& count) {
    return QStringLiteral("您确定要删除 ") + count + QStringLiteral(" 条所选记录吗？");
}
const QStringList kDisplayGroups = {QStringLiteral("1-3通道"), QStringLiteral("4-6通道"),
                                    QStringLiteral("1-6通道")};
const QString kHelp = QStringLiteral(
    "使用说明：\n"
    "1. 选择测试类型，再选择查询名称和方向，输入参数值（方向为“介于”时输入参数值1和参数值2；"
    "日期写作 2009-09-01 或 2009/09/01），点击“查询”。\n"
    "2. 在表格中点击一条记录将其选中，点击“删除记录”删除这一条；"
    "或在下方输入条数，点击“确定”，从选中的记录开始向下连续删除。\n"
    "3. 测试编号末尾的 L、M、R 分别表示左（1）、中（2）、右（3）测试通道，H 和 T 表示头部和尾部。");

// A run count is a whole number of at least 1.
std::optional<int> runCountOf(const QString& text) {
    static const QRegularExpression whole(QStringLiteral("^\\s*\\d{1,6}\\s*$"));
    if (!whole.match(text).hasMatch()) return std::nullopt;
    const int n = text.trimmed().toInt();
    if (n < 1) return std::nullopt;
    return n;
}

}  // namespace

HistoryWindow::HistoryWindow(const QString& folder, Prompter& prompter, HistoryHost host, QWidget* parent)
    : QWidget(parent, Qt::Window), prompter_(prompter), host_(std::move(host)), database_(folder) {
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    model_ = new RecordGridModel(database_, this);

    const auto named = [](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    kind_ = named(new QComboBox, "Combo3");
    column_ = named(new QComboBox, "Combo1");
    operator_ = named(new QComboBox, "Combo2");
    value1_ = named(new QLineEdit(QStringLiteral("0")), "Text1");
    value2_ = named(new QLineEdit, "Text2");
    count_ = named(new QLineEdit(QStringLiteral("0")), "Text4");
    count_->setReadOnly(true);
    displayGroup_ = named(new QComboBox, "Combo4");
    slot_ = named(new QLineEdit(QStringLiteral("0")), "Text5");
    runCount_ = named(new QLineEdit(QStringLiteral("1")), "Text3");
    queryButton_ = named(new QPushButton(QStringLiteral("查询")), "Command1");
    deleteButton_ = named(new QPushButton(QStringLiteral("删除记录")), "Command2");
    displayButton_ = named(new QPushButton(QStringLiteral("显示记录")), "Command3");
    modifyButton_ = named(new QPushButton(QStringLiteral("修改记录")), "Command5");
    runButton_ = named(new QPushButton(QStringLiteral("确定")), "Command9");
    exportButton_ = named(new QPushButton(QStringLiteral("导出CSV")), "exportCsv");
    exitButton_ = named(new QPushButton(QStringLiteral("退出")), "Command4");
    statement_ = named(new QLabel, "Qstr");
    statement_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The values are shown as typed, never read as markup; a long one is cut at the window's edge
    // (the grid's tooltip holds it whole) instead of widening the window past the screen.
    statement_->setTextFormat(Qt::PlainText);
    statement_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    keepTextsAsData(statement_);

    view_ = named(new QTableView, "grid");
    view_->setModel(model_);
    keepTextsAsData(view_);  // its tooltip is the statement
    view_->verticalHeader()->hide();
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    // The column names stay above the rows however far the grid is scrolled; a click on one
    // sorts by it (测试编号 and 测试日期 newest first), a second click the other way.
    view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view_->horizontalHeader()->setSortIndicatorShown(true);
    view_->setSortingEnabled(true);

    auto* conditions = new QGridLayout;
    const auto labelled = [conditions](int col, const QString& caption, QWidget* w) {
        conditions->addWidget(new QLabel(caption), 0, col);
        conditions->addWidget(w, 1, col);
    };
    labelled(0, QStringLiteral("选择测试类型"), kind_);
    labelled(1, QStringLiteral("选择查询名称"), column_);
    labelled(2, QStringLiteral("选择方向"), operator_);
    labelled(3, QStringLiteral("参数值1"), value1_);
    labelled(4, QStringLiteral("参数值2"), value2_);
    conditions->addWidget(queryButton_, 1, 5);

    auto* found = new QHBoxLayout;
    found->addWidget(new QLabel(QStringLiteral("查询结果")));
    found->addWidget(count_);
    found->addWidget(new QLabel(QStringLiteral("条记录")));
    found->addSpacing(20);
    found->addWidget(statement_, 1);

    auto* commands = new QHBoxLayout;
    commands->addWidget(new QLabel(QStringLiteral("显示通道")));
    commands->addWidget(displayGroup_);
    commands->addWidget(slot_);
    commands->addWidget(displayButton_);
    commands->addWidget(modifyButton_);
    commands->addWidget(deleteButton_);
    commands->addSpacing(20);
    commands->addWidget(new QLabel(QStringLiteral("记录从选择项开始共")));
    commands->addWidget(runCount_);
    commands->addWidget(new QLabel(QStringLiteral("条纪录被删除")));
    commands->addWidget(runButton_);
    commands->addStretch();
    commands->addWidget(exportButton_);
    commands->addWidget(exitButton_);
    for (QLineEdit* small : {count_, slot_, runCount_}) small->setMaximumWidth(70);

    auto* help = named(new QLabel(kHelp), "help");
    help->setWordWrap(true);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(conditions);
    outer->addLayout(found);
    outer->addWidget(view_, 1);
    outer->addLayout(commands);
    outer->addWidget(help);

    kind_->addItems(historyKindNames());
    displayGroup_->addItems(kDisplayGroups);
    operator_->addItems(historyOperators());
    value2_->setEnabled(false);
    displayButton_->setEnabled(false);
    modifyButton_->setEnabled(false);
    deleteButton_->setEnabled(false);
    exportButton_->setEnabled(false);
    kindChosen();

    connect(kind_, &QComboBox::currentIndexChanged, this, &HistoryWindow::kindChosen);
    connect(column_, &QComboBox::currentIndexChanged, this, &HistoryWindow::columnChosen);
    connect(operator_, &QComboBox::activated, this, &HistoryWindow::operatorChosen);
    connect(queryButton_, &QPushButton::clicked, this, &HistoryWindow::runQuery);
    connect(deleteButton_, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    connect(runButton_, &QPushButton::clicked, this, &HistoryWindow::deleteRun);
    connect(modifyButton_, &QPushButton::clicked, this, &HistoryWindow::modifySelected);
    connect(displayButton_, &QPushButton::clicked, this, &HistoryWindow::displaySelected);
    connect(exportButton_, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
    resize(1000, 600);
}

HistoryWindow::~HistoryWindow() {
    // The grid lets go of its rows before the connection it reads them through closes.
    view_->setModel(nullptr);
    delete model_;
    model_ = nullptr;
    database_.close();
}

void HistoryWindow::kindChosen() {
    const auto kind = historyKindOf(chosenText(kind_)).value_or(TestKind::TV);
    const QSignalBlocker quiet(column_);
    column_->clear();
    column_->addItems(conditionColumns(kind));
    column_->setCurrentIndex(0);
    columnChosen();
}

void HistoryWindow::columnChosen() {
    operator_->clear();
    operator_->addItems(historyOperators());
    operator_->setCurrentIndex(0);
    value2_->setEnabled(false);
}

void HistoryWindow::operatorChosen() {
    value2_->setEnabled(chosenText(operator_) == kBetween);
    value1_->setText(QStringLiteral("0"));
    value2_->setText(QStringLiteral("1000"));
}

void HistoryWindow::runQuery() {
    HistoryQuery q;
    q.kind = historyKindOf(chosenText(kind_)).value_or(TestKind::TV);
    q.column = chosenText(column_);
    q.op = chosenText(operator_);
    q.value1 = value1_->text();
    q.value2 = value2_->text();
    present(q);
}

void HistoryWindow::present(const HistoryQuery& query, bool quiet) {
    const auto found = model_->run(query);
    statement_->setText(qstr(query));
    view_->setToolTip(qstr(query));
    if (!found || *found == 0) {
        // Nothing of an earlier query stays to be deleted, changed or shown under this statement.
        deleteButton_->setEnabled(false);
        modifyButton_->setEnabled(false);
        displayButton_->setEnabled(false);
        exportButton_->setEnabled(false);
        if (!quiet) prompter_.message(kNoResult, kInfo);
        count_->setText(QStringLiteral("0"));
        return;
    }
    count_->setText(QString::number(*found));
    deleteButton_->setEnabled(true);
    modifyButton_->setEnabled(true);
    displayButton_->setEnabled(true);
    exportButton_->setEnabled(true);
}

int HistoryWindow::currentGridRow() const {
    const QModelIndex i = view_->currentIndex();
    return i.isValid() ? i.row() + 1 : -1;
}

bool HistoryWindow::selectionValid() {
    if (model_->isRecordRow(currentGridRow())) return true;
    prompter_.message(kNoSelection, kInfo);
    return false;
}

void HistoryWindow::deleteSelected() {
    if (!selectionValid()) return;
    if (!prompter_.question(kConfirmOne, kInfo)) return;
    const int row = currentGridRow();
    // The record is named before anything is deleted.
    const std::vector<RecordRef> records = model_->recordsFrom(row, 1);
    if (host_.rereadStoredCount) host_.rereadStoredCount();
    const DeleteOutcome outcome = deleteRecords(database_.open(model_->query().kind), model_->query().kind, records);
    deleted(outcome);
    prompter_.message(outcome.left.isEmpty() ? kDeleted : deleteReport(outcome), kInfo);
    requery(row);
}

void HistoryWindow::requery(int gridRow) {
    // The grid comes back where it was: the rows scrolled past are read again and the row that
    // followed the deleted ones stands where they stood. Nothing stays selected: another delete
    // takes a record the operator picks anew.
    const int top = view_->rowAt(0);
    present(model_->query(), true);
    const int want = std::max(top, gridRow - 1);
    while (model_->rowCount() <= want && model_->canFetchMore()) model_->fetchMore();
    if (top > 0 && top < model_->rowCount()) {
        // Enough rows below the top one to fill the view, so it can stand at the top.
        view_->scrollTo(model_->index(top, 0), QAbstractItemView::PositionAtTop);
        while (view_->rowAt(0) < top && model_->canFetchMore()) {
            model_->fetchMore();
            view_->scrollTo(model_->index(top, 0), QAbstractItemView::PositionAtTop);
        }
    }
    view_->clearSelection();
    view_->setCurrentIndex({});
}

void HistoryWindow::deleteRun() {
    if (!selectionValid()) return;
    const auto n = runCountOf(runCount_->text());
    if (!n) {
        prompter_.message(kBadRunCount, kInfo);
        return;
    }
    if (!prompter_.question(confirmRun(runCount_->text()), kInfo)) return;
    const int row = currentGridRow();
    // The selected record and the n - 1 listed below it, named before the first is deleted: a test
    // saved meanwhile cannot shift the run onto another record.
    const std::vector<RecordRef> records = model_->recordsFrom(row, *n);
    if (host_.rereadStoredCount) host_.rereadStoredCount();
    const DeleteOutcome outcome = deleteRecords(database_.open(model_->query().kind), model_->query().kind, records);
    deleted(outcome);
    runCount_->setText(QStringLiteral("0"));
    requery(row);
    prompter_.message(outcome.left.isEmpty() ? kDeleted : deleteReport(outcome), kInfo);
}

void HistoryWindow::deleted(const DeleteOutcome& outcome) {
    if (host_.recordsDeleted && !outcome.deleted.isEmpty())
        host_.recordsDeleted(model_->query().kind, outcome.deleted);
}

void HistoryWindow::modifySelected() {
    if (!selectionValid()) return;
    const std::vector<RecordRef> selected = model_->recordsFrom(currentGridRow(), 1);
    const TestKind kind = host_.channel1Kind ? host_.channel1Kind() : TestKind::TV;
    auto* dialog =
        new ModifyWindow(kind, *model_, selected.empty() ? std::nullopt : std::optional(selected.front()),
                         database_, prompter_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void HistoryWindow::displaySelected() {
    if (!selectionValid()) return;
    if (!host_.showStoredRecord || (host_.running && host_.running())) {
        prompter_.message(kRunning, kInfo);
        return;
    }
    const std::vector<RecordRef> selected = model_->recordsFrom(currentGridRow(), 1);
    const TestKind kind = model_->query().kind;
    QString error;
    const auto record = selected.empty()
                            ? std::nullopt
                            : readStoredRecord(database_.open(kind), kind, selected.front(), &error);
    if (!record || !recordDisplayable(*record, &error)) {
        prompter_.message(error, kInfo);
        return;
    }
    const DisplaySlot slot = displaySlot(displayGroup_->currentIndex(), slot_->text());
    if (!host_.showStoredRecord(displayGroup_->currentIndex(), slot.slot, *record, &error)) {
        if (!error.isEmpty()) prompter_.message(error, kInfo);
        return;
    }
    slot_->setText(QString::number(slot.next));
    if (host_.shown) host_.shown();
}

void HistoryWindow::exportCsv() {
    if (model_->found() == 0) {
        prompter_.message(kNoResult, kInfo);
        return;
    }
    // Every record the query found, not only the pages scrolled to so far.
    while (model_->canFetchMore()) model_->fetchMore();
    CsvTable table;
    // The column names and the records; the empty row below them stays out.
    const int rows = model_->rowCount() - (model_->found() > 0 ? 1 : 0);
    for (int r = 0; r < rows; ++r) {
        QStringList line;
        for (int c = 0; c < model_->columnCount(); ++c)
            if (!view_->isColumnHidden(c)) line << model_->data(model_->index(r, c)).toString();
        table.push_back(line);
    }
    const QString proposed = historyKindNames().value(int(model_->query().kind)) + QStringLiteral(".csv");
    const QString name = prompter_.saveFileName(proposed, QStringLiteral("CSV文件(.csv)|*.csv|*.*"));
    if (name.isEmpty()) return;
    if (!writeCsv(name, table)) prompter_.message(QStringLiteral("CSV文件无法写入：") + name, kInfo);
}

}  // namespace varnot
