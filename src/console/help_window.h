// The help window (帮助): the operator's guide to the console, a rich-text document compiled into
// the program, shown in a browser that follows the guide's own links.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace varnot {

// Where the guide lives among the program's resources.
inline constexpr char kHelpDocument[] = "qrc:/help/operator_guide.html";

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace varnot
