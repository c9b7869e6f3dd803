#include "ui_text/ui_text.h"

#include "ui_text/text_matcher.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>
#include <QTranslator>
#include <QXmlStreamReader>

#include <memory>

namespace varnot {

namespace {

const char* const kContext = "varnot";
// Where a selection box keeps the text the code gave an entry.
constexpr int kSourceRole = Qt::UserRole + 0x5678;
const char* const kFollowed = "varnotTranslatedBox";
const char* const kData = "varnotTextsAreData";

// Every source text of the translation file.
QStringList sourceTexts() {
    QFile file(QStringLiteral(":/i18n/varnot_en.ts"));
    QStringList out;
    if (!file.open(QIODevice::ReadOnly)) return out;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"source")
            out << xml.readElementText();
    return out;
}

// Translates each window as it is shown, menus included: first when it is polished, before its
// first layout (selection boxes and labels take the width of their English texts), and again each
// time it is shown.
class ShownWindows : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if ((e->type() == QEvent::Polish || e->type() == QEvent::Show) && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow()) translateWidgets(w);
        }
        return false;
    }
};

struct English {
    QTranslator translator;
    TextMatcher matcher;
    ShownWindows shown;
};

std::unique_ptr<English>& english() {
    static std::unique_ptr<English> e;
    return e;
}

void translateAction(QAction* a) {
    if (a->isSeparator()) return;
    const QString tip = a->toolTip();
    if (hasCjk(a->text())) a->setText(uiText(a->text()));
    // A tooltip of its own (one that did not follow the text just changed).
    if (hasCjk(a->toolTip())) a->setToolTip(uiText(tip));
    if (QMenu* m = a->menu(); m && hasCjk(m->title())) m->setTitle(uiText(m->title()));
}

void translateBoxEntries(QComboBox* box, int first, int last) {
    for (int i = first; i <= last && i < box->count(); ++i) {
        const QString text = box->itemText(i);
        if (!hasCjk(text) || box->itemData(i, kSourceRole).isValid()) continue;
        box->setItemData(i, text, kSourceRole);
        box->setItemText(i, uiText(text));
    }
}

void translateBox(QComboBox* box) {
    if (hasCjk(box->placeholderText())) box->setPlaceholderText(uiText(box->placeholderText()));
    translateBoxEntries(box, 0, box->count() - 1);
    if (box->property(kFollowed).toBool()) return;
    box->setProperty(kFollowed, true);
    // Entries added later (a box refilled as the choice before it changes) follow.
    QObject::connect(box->model(), &QAbstractItemModel::rowsInserted, box,
                     [box](const QModelIndex& parent, int first, int last) {
                         if (!parent.isValid() && uiLanguage() == UiLanguage::English)
                             translateBoxEntries(box, first, last);
                     });
}

void translateTable(QTableWidget* table) {
    for (int c = 0; c < table->columnCount(); ++c)
        if (QTableWidgetItem* h = table->horizontalHeaderItem(c); h && hasCjk(h->text()))
            h->setText(uiText(h->text()));
    for (int r = 0; r < table->rowCount(); ++r)
        if (QTableWidgetItem* h = table->verticalHeaderItem(r); h && hasCjk(h->text()))
            h->setText(uiText(h->text()));
}

void translateOne(QWidget* w) {
    if (w->property(kData).toBool()) return;
    if (hasCjk(w->windowTitle())) w->setWindowTitle(uiText(w->windowTitle()));
    if (hasCjk(w->toolTip())) w->setToolTip(uiText(w->toolTip()));
    for (QAction* a : w->actions()) translateAction(a);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        if (hasCjk(b->text())) b->setText(uiText(b->text()));
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        if (hasCjk(l->text())) l->setText(uiText(l->text()));
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        if (hasCjk(g->title())) g->setTitle(uiText(g->title()));
    } else if (auto* t = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < t->count(); ++i) {
            if (hasCjk(t->tabText(i))) t->setTabText(i, uiText(t->tabText(i)));
            if (hasCjk(t->tabToolTip(i))) t->setTabToolTip(i, uiText(t->tabToolTip(i)));
        }
    } else if (auto* m = qobject_cast<QMenu*>(w)) {
        if (hasCjk(m->title())) m->setTitle(uiText(m->title()));
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        translateBox(c);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        // What is typed is the operator's; only the hint shown in an empty field is the console's.
        if (hasCjk(e->placeholderText())) e->setPlaceholderText(uiText(e->placeholderText()));
    } else if (auto* tw = qobject_cast<QTableWidget*>(w)) {
        translateTable(tw);
    }
}

}  // namespace

bool hasCjk(const QString& text) {
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

UiLanguage chooseUiLanguage(const QString& option, const QLocale& system) {
    if (!option.isEmpty())
        return option.trimmed().toLower().startsWith(QStringLiteral("en")) ? UiLanguage::English
                                                                           : UiLanguage::Chinese;
    return system.language() == QLocale::English ? UiLanguage::English : UiLanguage::Chinese;
}

UiLanguage uiLanguage() {
    return english() ? UiLanguage::English : UiLanguage::Chinese;
}

bool setUiLanguage(UiLanguage language) {
    std::unique_ptr<English>& e = english();
    if (e) {
        QCoreApplication::removeTranslator(&e->translator);
        if (qApp) qApp->removeEventFilter(&e->shown);
        e.reset();
    }
    if (language == UiLanguage::Chinese) return true;
    auto next = std::make_unique<English>();
    if (!next->translator.load(QStringLiteral(":/i18n/varnot_en.qm"))) return false;
    QCoreApplication::installTranslator(&next->translator);
    next->matcher = TextMatcher(sourceTexts(), [](const QString& source) {
        return QCoreApplication::translate(kContext, source.toUtf8().constData());
    });
    if (qApp) qApp->installEventFilter(&next->shown);
    e = std::move(next);
    return true;
}

QString uiText(const QString& text) {
    const std::unique_ptr<English>& e = english();
    if (!e || text.isEmpty()) return text;
    return e->matcher.translate(text);
}

void translateWidgets(QWidget* window) {
    if (!window || uiLanguage() != UiLanguage::English) return;
    translateOne(window);
    for (QWidget* w : window->findChildren<QWidget*>()) translateOne(w);
}

void keepTextsAsData(QWidget* widget) {
    widget->setProperty(kData, true);
}

QString chosenText(const QComboBox* box) {
    const QVariant source = box->currentData(kSourceRole);
    return source.isValid() ? source.toString() : box->currentText();
}

}  // namespace varnot
