// A scripted prompter that lets the event loop run while a box is "open", as a modal box does, so a
// window test sees what the console does behind a message or a question.
#pragma once

#include "support/scripted_prompter.h"

#include <functional>

namespace varnot::testing {

class ModalPrompter : public ScriptedPrompter {
public:
    std::function<void()> whileOpen;
    void message(const QString& text, const QString& title) override {
        ScriptedPrompter::message(text, title);
        runOpen();
    }
    bool question(const QString& text, const QString& title) override {
        runOpen();
        return ScriptedPrompter::question(text, title);
    }
    // Where a text was shown first (-1: never), and what was shown with it.
    int indexOf(const QString& text) const {
        for (std::size_t i = 0; i < shown.size(); ++i)
            if (shown[i].text == text) return int(i);
        return -1;
    }
    const Shown* find(const QString& text) const {
        const int i = indexOf(text);
        return i < 0 ? nullptr : &shown[std::size_t(i)];
    }

private:
    void runOpen() {
        if (!whileOpen) return;
        open = true;
        whileOpen();
        open = false;
    }
};

}  // namespace varnot::testing
