// Every message box, yes/no question and file dialog of the console goes through this interface:
// the window implements it with real dialogs, tests with a scripted prompter.
#pragma once

#include <QString>

namespace varnot {

class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal message with one OK button.
    virtual void message(const QString& text, const QString& title) = 0;
    // A Yes/No question; true for Yes.
    virtual bool question(const QString& text, const QString& title) = 0;
    // A save-file dialog; an empty text when the operator cancels.
    virtual QString saveFileName(const QString& proposedName, const QString& filter) = 0;
};

}  // namespace varnot
