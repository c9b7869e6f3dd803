#include "history/modify_window.h"

#include "history/record_edit.h"
#include "ui_text/ui_text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varnot {

namespace {

const QString kInfo = QStringLiteral("信息提示");
const QString kNoColumn = QStringLiteral("您还未选择修改项目！");
const QString kNoValue = QStringLiteral("您还未输入修改后的值！");
const QString kModified = QStringLiteral("修改完毕！重新点击查询可以看到修改结果");
const QString kFailed = QStringLiteral("操作错误！请检查以后重新执行该操作！");

}  // namespace

ModifyWindow::ModifyWindow(TestKind channel1Kind, const RecordGridModel& grid,
                           std::optional<RecordRef> record, HistoryDatabase& database, Prompter& prompter,
                           QWidget* parent)
    : QDialog(parent),
      kind_(channel1Kind),
      listedKind_(grid.query().kind),
      record_(std::move(record)),
      database_(database),
      prompter_(prompter) {
    setWindowTitle(QStringLiteral("记录修改"));
    setModal(true);
    column_ = new QComboBox;
    column_->setObjectName(QStringLiteral("Combo1"));
    column_->addItems(modifiableColumns(kind_));
    column_->setCurrentIndex(-1);  // nothing chosen yet
    value_ = new QLineEdit;
    value_->setObjectName(QStringLiteral("Text1"));
    auto* modifyButton = new QPushButton(QStringLiteral("记录修改"));
    modifyButton->setObjectName(QStringLiteral("Command1"));
    auto* exitButton = new QPushButton(QStringLiteral("退出"));
    exitButton->setObjectName(QStringLiteral("Command2"));

    // The record the change goes to, named before anything is typed.
    auto* named = new QLabel(QStringLiteral("修改的记录：") + (record_ ? record_->name : QString()));
    named->setObjectName(QStringLiteral("record"));
    named->setTextFormat(Qt::PlainText);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请先选择查询记录，再修改记录")), 0, 0, 1, 2);
    layout->addWidget(named, 4, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("选择要修改的记录：")), 1, 0);
    layout->addWidget(column_, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("修改为：")), 2, 0);
    layout->addWidget(value_, 2, 1);
    layout->addWidget(modifyButton, 3, 0);
    layout->addWidget(exitButton, 3, 1);

    connect(modifyButton, &QPushButton::clicked, this, &ModifyWindow::modify);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void ModifyWindow::modify() {
    if (column_->currentIndex() < 0 || chosenText(column_).isEmpty()) {
        prompter_.message(kNoColumn, kInfo);
        return;
    }
    if (value_->text().isEmpty()) {
        prompter_.message(kNoValue, kInfo);
        return;
    }
    // The columns are channel 1's kind: records of another kind cannot take them. A value is
    // checked against its column before anything is written.
    const QString column = chosenText(column_);
    const auto value = modifiedValue(kind_, column, value_->text());
    if (!record_ || kind_ != listedKind_ || !value) {
        prompter_.message(kFailed, kInfo);
        return;
    }
    // The value must mean what the column means: a parameter within the range its entry keeps,
    // a time within the curve the record holds, a judgement one of the three.
    QSqlDatabase db = database_.open(kind_);
    const auto record = readStoredRecord(db, kind_, *record_, nullptr);
    if (!record) {
        prompter_.message(kFailed, kInfo);
        return;
    }
    if (const auto refusal = modificationRefusal(*record, column, *value)) {
        prompter_.message(*refusal, kInfo);
        return;
    }
    prompter_.message(modifyRecord(db, kind_, *record_, column, *value) ? kModified : kFailed, kInfo);
}

}  // namespace varnot
