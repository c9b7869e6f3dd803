// The language of the console's texts. The texts are written in Chinese in the code and shown as
// they are by default; in English every text on the way to the screen passes through uiText(),
// which looks it up in the compiled-in English translation (context "varnot").
#pragma once

#include <QLocale>
#include <QString>

class QComboBox;
class QWidget;

namespace varnot {

enum class UiLanguage { Chinese, English };

// The language asked for by the --lang option (empty when not given), else by the system locale:
// English for "en" or an English locale, Chinese otherwise.
UiLanguage chooseUiLanguage(const QString& option, const QLocale& system);

// Switches the language: English installs the translation and translates every window as it is
// shown; Chinese removes both. False when the translation cannot be loaded (the texts stay Chinese).
bool setUiLanguage(UiLanguage language);
UiLanguage uiLanguage();

// A text on its way to the screen, in the current language. Texts made of parts ("…：<path>",
// "第3路开始") are translated part by part; paths, numbers and any text without a Chinese
// character pass unchanged.
QString uiText(const QString& text);

// Puts every text of the window (and of its children) into the current language: window titles,
// actions and menus, buttons, labels, group and tab titles, tooltips, table headers, list entries
// of selection boxes. Selection boxes stay in the current language when refilled.
void translateWidgets(QWidget* window);

// Marks a widget whose texts are data (a statement over stored records, say): it keeps them as they
// are in any language.
void keepTextsAsData(QWidget* widget);

// The entry chosen in a selection box as the code wrote it (the Chinese text), whatever language
// it is shown in.
QString chosenText(const QComboBox* box);

// Whether a text holds a Chinese character or full-width punctuation.
bool hasCjk(const QString& text);

}  // namespace varnot
