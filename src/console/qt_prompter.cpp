#include "console/qt_prompter.h"

#include <QFileDialog>
#include <QMessageBox>

namespace varnot {

void QtPrompter::message(const QString& text, const QString& title) {
    QMessageBox::information(parent_, title, text);
}

bool QtPrompter::question(const QString& text, const QString& title) {
    return QMessageBox::question(parent_, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString QtPrompter::saveFileName(const QString& proposedName, const QString& filter) {
    return QFileDialog::getSaveFileName(parent_, QString(), proposedName, filter);
}

}  // namespace varnot
