#include "console/help_window.h"

#include "ui_text/ui_text.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace varnot {

const char* helpDocument() { return uiLanguage() == UiLanguage::English ? kHelpDocumentEnglish : kHelpDocument; }

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("帮助"));
    setAttribute(Qt::WA_DeleteOnClose);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpText"));
    browser_->setOpenExternalLinks(false);
    browser_->setSource(QUrl(QString::fromLatin1(helpDocument())));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(720, 640);
}

}  // namespace varnot
