// The help window (帮助): the operator's guide to the console, a rich-text document compiled into
// the program, shown in a browser that follows the guide's own links.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace varnot {

// Where the guide lives among the program's resources, in Chinese and in English.
inline constexpr char kHelpDocument[] = "qrc:/help/operator_guide.html";
inline constexpr char kHelpDocumentEnglish[] = "qrc:/help/operator_guide_en.html";
// The guide in the language of the console.
const char* helpDocument();

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace varnot
