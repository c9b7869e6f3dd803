// A prompter for tests: records every text it is shown and answers questions and file dialogs
// from queues (No and cancel when a queue runs dry), so no modal box ever blocks a test.
#pragma once

#include "common/prompter.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace varnot::testing {

class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString kind;  // "message", "question", "save", "print"
        QString text;
        QString title;
        bool defaultNo = false;  // a question whose default button is No
    };

    void message(const QString& text, const QString& title) override { shown.push_back({"message", text, title}); }
    bool question(const QString& text, const QString& title) override {
        shown.push_back({"question", text, title});
        if (onQuestion) onQuestion(text);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    // Answered as any question (through question(), so a subclass's hooks apply), and marked.
    bool askDefaultNo(const QString& text, const QString& title) override {
        const bool a = question(text, title);
        for (auto it = shown.rbegin(); it != shown.rend(); ++it)
            if (it->kind == "question" && it->text == text) {
                it->defaultNo = true;
                break;
            }
        return a;
    }
    QString saveFileName(const QString& proposed, const QString& filter) override {
        shown.push_back({"save", proposed, filter});
        if (fileNames.empty()) return {};
        QString f = fileNames.front();
        fileNames.pop_front();
        return f;
    }

    // The print dialog: recorded; printed when the test set onPrintDialog (which chooses for the
    // operator on the printer and answers), cancelled otherwise.
    bool printDialog(QPrinter& printer) override {
        shown.push_back({"print", {}, {}});
        return onPrintDialog ? onPrintDialog(printer) : false;
    }
    std::function<bool(QPrinter&)> onPrintDialog;

    // A box the test holds open (as a real one would be while the event loop runs inside it).
    bool showing() const override { return open; }
    bool open = false;

    QStringList messages() const {
        QStringList out;
        for (const Shown& s : shown)
            if (s.kind == "message") out << s.text;
        return out;
    }
    int count(const QString& text) const {
        int k = 0;
        for (const Shown& s : shown) k += s.text == text;
        return k;
    }

    // Called with every question before it is answered: what happens while the box is open.
    std::function<void(const QString&)> onQuestion;

    std::vector<Shown> shown;
    std::deque<bool> answers;
    std::deque<QString> fileNames;
};

}  // namespace varnot::testing
