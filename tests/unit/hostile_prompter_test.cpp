// The console's message boxes show a text as written, whatever it holds: a record name or tester
// that looks like markup is not rendered as markup, and nothing of the text is lost.
#include "console/qt_prompter.h"
#include "support/hostile_texts.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>

using namespace varnot;
using namespace varnot::testing;

namespace {

struct Seen {
    bool shown = false;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
};

// Reads the box the prompter opens and answers it with `button`.
void answerNextBox(Seen& seen, QMessageBox::StandardButton button) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &seen, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen = {true, box->text(), box->textFormat()};
        poll->stop();
        poll->deleteLater();
        box->button(button)->click();
    });
    poll->start(5);
}

class HostilePrompter : public ::testing::TestWithParam<HostileText> {};

TEST_P(HostilePrompter, MessagesAndQuestionsShowTheTextAsWritten) {
    const QString text = QStringLiteral("同名记录TV测试编号：") + GetParam().text + QStringLiteral(" 已经存在");
    QtPrompter prompter;
    Seen seen;
    answerNextBox(seen, QMessageBox::Ok);
    prompter.message(text, QStringLiteral("信息提示"));
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, text);
    EXPECT_TRUE(seen.format == Qt::PlainText || (seen.format == Qt::AutoText && !Qt::mightBeRichText(text)));

    answerNextBox(seen = {}, QMessageBox::Yes);
    EXPECT_TRUE(prompter.question(text, QStringLiteral("信息提示")));
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.format == Qt::PlainText || (seen.format == Qt::AutoText && !Qt::mightBeRichText(text)));
}

INSTANTIATE_TEST_SUITE_P(Texts, HostilePrompter, ::testing::ValuesIn(hostileTexts()),
                         [](const ::testing::TestParamInfo<HostileText>& info) { return std::string(info.param.name); });

}  // namespace
