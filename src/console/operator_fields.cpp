#include "console/operator_fields.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace varnot {

OperatorFields::OperatorFields(Console& console, QWidget* parent) : QWidget(parent), console_(console) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (OperatorField f : kOperatorFields) {
        const OperatorFieldSpec& spec = operatorFieldSpec(f);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(spec.legacyId));
        // Room for an address; the port and the bounds are short numbers.
        edit->setMaximumWidth(f == OperatorField::IpAddress ? 140 : 64);
        connect(edit, &QLineEdit::editingFinished, this, [this, f] { complete(f); });
        edits_[static_cast<int>(f)] = edit;
        auto* label = new QLabel(QString::fromUtf8(spec.caption), this);
        label->setBuddy(edit);
        row->addWidget(label);
        row->addWidget(edit);
        if (f == OperatorField::TcpPort) row->addSpacing(24);
    }
    row->addStretch(1);
    connect(&console_, &Console::changed, this, &OperatorFields::refresh);
    refresh();
}

void OperatorFields::complete(OperatorField f) {
    QLineEdit* edit = edits_[static_cast<int>(f)];
    // Once per entry: a field left without typing is not entered again.
    if (!edit->isModified()) return;
    edit->setModified(false);
    console_.enterOperatorField(f, edit->text());
    refresh();
}

bool OperatorFields::completeFocused() {
    QWidget* focus = QApplication::focusWidget();
    for (OperatorField f : kOperatorFields)
        if (edits_[static_cast<int>(f)] == focus) {
            complete(f);
            return true;
        }
    return false;
}

void OperatorFields::dropPendingEntries() {
    for (QLineEdit* edit : edits_) edit->setModified(false);
    refresh();
}

void OperatorFields::refresh() {
    for (OperatorField f : kOperatorFields) {
        QLineEdit* edit = edits_[static_cast<int>(f)];
        // An entry still being typed is the operator's until it completes.
        const QString& text = operatorText(console_.state(), f);
        if (!edit->isModified() && edit->text() != text) edit->setText(text);
    }
}

}  // namespace varnot
