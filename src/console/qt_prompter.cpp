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

void QtPrompter::message(const QString& text, const QString& title) {
    Open open(open_);
    QMessageBox::information(parent_, uiText(title), uiText(text));
}

bool QtPrompter::question(const QString& text, const QString& title) {
    Open open(open_);
    return QMessageBox::question(parent_, uiText(title), uiText(text), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
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
