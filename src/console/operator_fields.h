// The strip of single operator fields on the parameter tab: the instrument's Ethernet address and
// port (IP, 端口) and the temperature window (设置温度：). It shows the model's texts and hands each
// completed entry to the model.
#pragma once

#include "console/console.h"

#include <QWidget>

#include <array>

class QLineEdit;

namespace varnot {

class OperatorFields : public QWidget {
    Q_OBJECT
public:
    explicit OperatorFields(Console& console, QWidget* parent = nullptr);
    // Completes the entry being typed in one of these fields, as leaving it would (a menu entry or
    // a toolbar button does not take the focus). False when none of them has the focus.
    bool completeFocused();
    void refresh();
    // The console is going away: an entry still being typed is dropped, never stored.
    void dropPendingEntries();

private:
    void complete(OperatorField f);

    Console& console_;
    std::array<QLineEdit*, std::size(kOperatorFields)> edits_{};
};

}  // namespace varnot
