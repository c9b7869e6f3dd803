// The prompter of the window: modal message boxes, Yes/No questions and the save-file dialog, their
// texts in the language of the console.
#pragma once

#include "common/prompter.h"

class QWidget;

namespace varnot {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(const QString& text, const QString& title) override;
    bool question(const QString& text, const QString& title) override;
    bool askDefaultNo(const QString& text, const QString& title) override;
    QString saveFileName(const QString& proposedName, const QString& filter) override;
    bool printDialog(QPrinter& printer) override;
    bool showing() const override { return open_ > 0; }

    // description|pattern pairs as a file dialog's filter ("desc (pattern);;...").
    static QString dialogFilter(const QString& pairs);

private:
    QWidget* parent_;
    int open_ = 0;
};

}  // namespace varnot
