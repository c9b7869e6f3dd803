#include "batch/batch_tab.h"

#include "ui_text/ui_text.h"

#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace varnot {

namespace {

constexpr double kTwip = 96.0 / 1440;  // pixels per twip
// The lists over their fields (twips): List1 1500 × 2500, List2 1500 × 2000.
constexpr int kSerialListWidth = 1500, kSerialListHeight = 2500, kSpecListWidth = 1500, kSpecListHeight = 2000;

QPushButton* button(const QString& text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

BatchTab::BatchTab(BatchHost host, std::function<void(BatchField, const QString&)> enterField,
                   std::function<void(int, SheetValue, const QString&)> enterSheetValue, QWidget* parent)
    : QWidget(parent),
      panel_(host.panel),
      chooseDate_(host.chooseDate),
      screen_(std::move(host)),
      enterField_(std::move(enterField)) {
    auto* outer = new QVBoxLayout(this);
    auto* whole = new QGroupBox(QStringLiteral("整体参数"));
    auto* form = new QGridLayout(whole);
    static const char* const kNames[] = {"txtWhole", "txtWhole1", "VFText", "txtWhole3", "txtWhole4",
                                         "txtWhole5", "txtWhole6", "txtWhole7", "txtWhole8"};
    for (int i = 0; i < kBatchFieldCount; ++i) {
        const auto f = static_cast<BatchField>(i);
        auto* edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(kNames[i]));
        connect(edit, &QLineEdit::textEdited, this, [this, f, edit](const QString& t) {
            enterField_(f, t);
            const int at = edit->cursorPosition();
            edit->setText(panel_.field(f));
            edit->setCursorPosition(at);
        });
        edits_[std::size_t(i)] = edit;
        form->addWidget(new QLabel(QString::fromUtf8(batchFieldCaption(f))), i / 5, 2 * (i % 5));
        form->addWidget(edit, i / 5, 2 * (i % 5) + 1);
    }
    date_ = new QDateEdit;
    date_->setObjectName(QStringLiteral("DTPicker1"));
    date_->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    date_->setCalendarPopup(true);
    connect(date_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (chooseDate_) chooseDate_(d);
    });
    form->addWidget(new QLabel(QStringLiteral("日期：")), 1, 8);
    form->addWidget(date_, 1, 9);
    auto* commands = new QHBoxLayout;
    QPushButton* open = button(QStringLiteral("打开"), "openBatch");
    QPushButton* save = button(QStringLiteral("保存"), "saveBatch");
    QPushButton* remove = button(QStringLiteral("删除"), "deleteBatch");
    connect(open, &QPushButton::clicked, this, [this] { screen_.open(); });
    connect(save, &QPushButton::clicked, this, [this] { screen_.saveBatch(); });
    connect(remove, &QPushButton::clicked, this, [this] { screen_.deleteBatch(); });
    for (QPushButton* b : {open, save, remove}) commands->addWidget(b);
    commands->addStretch();
    form->addLayout(commands, 2, 0, 1, 10);
    outer->addWidget(whole);

    auto* sheets = new QGroupBox(QStringLiteral("单片参数"));
    auto* sheetForm = new QGridLayout(sheets);
    const char* valueCaptions[] = {"比容:", "折弯:", "抗拉:"};
    const char* valueNames[] = {"Cap", "Bend", "Pull"};
    const char* sheetNames[] = {"1", "2", "3", "1'", "2'", "3'"};
    for (int k = 1; k <= kSheets; ++k) {
        sheetForm->addWidget(new QLabel(QString::fromUtf8(sheetNames[k - 1])), k - 1, 0);
        for (int v = 0; v < 3; ++v) {
            auto* edit = new QLineEdit;
            edit->setObjectName(QString::fromLatin1(valueNames[v]) + QString::number(k));
            connect(edit, &QLineEdit::textEdited, this, [enterSheetValue, k, v](const QString& t) {
                enterSheetValue(k, static_cast<SheetValue>(v), t);
            });
            sheetEdits_[std::size_t(k - 1)][std::size_t(v)] = edit;
            sheetForm->addWidget(new QLabel(QString::fromUtf8(valueCaptions[v])), k - 1, 1 + 2 * v);
            sheetForm->addWidget(edit, k - 1, 2 + 2 * v);
        }
    }
    QPushButton* saveSheets = button(QStringLiteral("保存"), "saveSheets");
    connect(saveSheets, &QPushButton::clicked, this, [this] { screen_.saveSheets(); });
    sheetForm->addWidget(saveSheets, kSheets, 6);
    outer->addWidget(sheets);

    // Grid2: the fixed first row and column hold the headers and labels, as the texts of cells.
    grid_ = new QTableWidget(kGridRows, kGridColumns);
    grid_->setObjectName(QStringLiteral("Grid2"));
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setColumnWidth(0, int(kGridLabelWidth * kTwip * 2));
    for (int c = 1; c < kGridColumns; ++c) grid_->setColumnWidth(c, int(kGridColumnWidth * kTwip * 1.3));
    for (int r = 0; r < kGridRows; ++r) grid_->setRowHeight(r, int(kGridRowHeight * kTwip * 1.4));
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c) {
            auto* item = new QTableWidgetItem;
            if (r > 0 && c > 0) item->setBackground(gridRowColour(r));
            grid_->setItem(r, c, item);
        }
    outer->addWidget(grid_);
    outer->addStretch();

    // The search lists lie over the page, hidden until their field is double-clicked.
    serialList_ = new QListWidget(this);
    serialList_->setObjectName(QStringLiteral("List1"));
    serialList_->resize(int(kSerialListWidth * kTwip), int(kSerialListHeight * kTwip));
    specList_ = new QListWidget(this);
    specList_->setObjectName(QStringLiteral("List2"));
    specList_->resize(int(kSpecListWidth * kTwip), int(kSpecListHeight * kTwip));
    for (QListWidget* list : {serialList_, specList_}) list->hide();
    connect(serialList_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { screen_.chooseSerial(item->text()); });
    connect(serialList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { screen_.chooseSerial(item->text()); });
    connect(specList_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { screen_.chooseSpecification(item->text()); });
    connect(specList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { screen_.chooseSpecification(item->text()); });
    edits_[std::size_t(BatchField::Serial)]->installEventFilter(this);
    edits_[std::size_t(BatchField::Spec)]->installEventFilter(this);
    refresh();
}

bool BatchTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == edits_[std::size_t(BatchField::Serial)]) {
            screen_.searchSerials();
            refresh();
            return true;
        }
        if (watched == edits_[std::size_t(BatchField::Spec)]) {
            screen_.listSpecifications();
            refresh();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BatchTab::placeList(QListWidget* list, QLineEdit* over, const SearchList& content) {
    // The list stands in the field's place while it is shown. Its items change only while it is
    // shown, never under the click that chose one.
    const bool appearing = content.shown && !list->isVisible();
    if (content.shown) {
        QStringList shown;
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
        if (shown != content.entries) {
            list->clear();
            list->addItems(content.entries);
        }
        list->move(over->mapTo(this, QPoint(0, 0)));
        list->raise();
    }
    list->setVisible(content.shown);
    over->setVisible(!content.shown);
    if (appearing) list->setFocus();
}

void BatchTab::refresh() {
    for (int i = 0; i < kBatchFieldCount; ++i)
        if (edits_[std::size_t(i)]->text() != panel_.fields[std::size_t(i)]) edits_[std::size_t(i)]->setText(panel_.fields[std::size_t(i)]);
    if (panel_.date.isValid() && date_->date() != panel_.date) date_->setDate(panel_.date);
    for (int k = 0; k < kSheets; ++k)
        for (int v = 0; v < 3; ++v)
            if (sheetEdits_[std::size_t(k)][std::size_t(v)]->text() != panel_.sheet[std::size_t(k)][std::size_t(v)])
                sheetEdits_[std::size_t(k)][std::size_t(v)]->setText(panel_.sheet[std::size_t(k)][std::size_t(v)]);
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c) {
            // The first row and column hold the console's headers and labels; the rest are values.
            const QString& text = panel_.grid[std::size_t(r)][std::size_t(c)];
            grid_->item(r, c)->setText(r == 0 || c == 0 ? uiText(text) : text);
        }
    placeList(serialList_, edits_[std::size_t(BatchField::Serial)], screen_.serialList());
    placeList(specList_, edits_[std::size_t(BatchField::Spec)], screen_.specificationList());
}

}  // namespace varnot
