#include "console/qt_prompter.h"

#include "ui_text/ui_text.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>

namespace varnot {

namespace {

struct Open {
    explicit Open(int& n) : n_(n) { ++n_; }
    ~Open() { --n_; }
    int& n_;
};

}  // namespace

namespace {

// A box whose text is shown as written: a record name or tester such as "<b>A1</b>" is not markup.
int showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
        box.setEscapeButton(defaultButton);
    }
    return box.exec();
}

}  // namespace

void QtPrompter::message(const QString& text, const QString& title) {
    Open open(open_);
    showBox(parent_, QMessageBox::Information, uiText(title), uiText(text), QMessageBox::Ok);
}

bool QtPrompter::question(const QString& text, const QString& title) {
    Open open(open_);
    return showBox(parent_, QMessageBox::Question, uiText(title), uiText(text), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool QtPrompter::askDefaultNo(const QString& text, const QString& title) {
    Open open(open_);
    return showBox(parent_, QMessageBox::Question, uiText(title), uiText(text), QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::No) == QMessageBox::Yes;
}

QString QtPrompter::saveFileName(const QString& proposedName, const QString& filter) {
    Open open(open_);
    return QFileDialog::getSaveFileName(parent_, QString(), proposedName, dialogFilter(uiText(filter)));
}

bool QtPrompter::printDialog(QPrinter& printer) {
    Open open(open_);
    QPrintDialog dialog(&printer, parent_);
    return dialog.exec() == QDialog::Accepted;
}

QString QtPrompter::dialogFilter(const QString& pairs) {
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString pattern = i + 1 < parts.size() ? parts[i + 1] : parts[i];
        filters << parts[i] + QStringLiteral(" (") + (pattern == u"*.*" ? QStringLiteral("*") : pattern) + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace varnot
