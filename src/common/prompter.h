// Every message box, yes/no question and file dialog of the console goes through this interface:
// the window implements it with real dialogs, tests with a scripted prompter.
#pragma once

#include <QString>

class QPrinter;

namespace varnot {

class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal message with one OK button.
    virtual void message(const QString& text, const QString& title) = 0;
    // A Yes/No question; true for Yes.
    virtual bool question(const QString& text, const QString& title) = 0;
    // A Yes/No question whose Yes gives something up (a run, a test not stored): No is the default
    // button, so Enter or Escape keeps things as they are. True for Yes.
    virtual bool askDefaultNo(const QString& text, const QString& title) { return question(text, title); }
    // A save-file dialog; an empty text when the operator cancels. The filter is written as
    // description|pattern pairs ("图本文件(.bmp)|*.bmp|*.*").
    virtual QString saveFileName(const QString& proposedName, const QString& filter) = 0;
    // The print dialog over a printer already set up for the document: the operator chooses a
    // printer or a PDF file (the printer then holds the choice). False when cancelled; a prompter
    // that offers no dialog cancels.
    virtual bool printDialog(QPrinter& printer) {
        (void)printer;
        return false;
    }
    // Whether a box is open right now (the event loop runs on inside it): the run loop waits
    // until it is closed, so a question never overtakes the message it follows.
    virtual bool showing() const { return false; }
};

}  // namespace varnot
