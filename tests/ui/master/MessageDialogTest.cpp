#include "ui/master/MessageDialog.h"
#include "../toolkit/FakeUiPrompt.h"
#include "ui/toolkit/CStaticEx.h"
#include "ui/toolkit/ControlId.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace ondel;
using Outcome = MasterMessagePrompt::Outcome;

TEST(MessageDialog, ShowsTheMessageAsPlainText) {
    MessageDialog dialog(
        {42, "<b>Hello</b>\r\nsecond line", "News \xE4", "https://ondel.invalid/"});
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("News \xC3\xA4"));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::Tool));
    auto* text = findControl<QPlainTextEdit>(&dialog, MessageDialog::kTextId);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), "<b>Hello</b>\nsecond line");
    EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    CStaticEx* link = dialog.link();
    EXPECT_EQ(controlIdOf(link), MessageDialog::kLinkId);
    EXPECT_EQ(link->text(), "https://ondel.invalid/");
    EXPECT_EQ(link->target(), "https://ondel.invalid/");
    EXPECT_EQ(link->textFormat(), Qt::PlainText);
    EXPECT_EQ(link->textColour(), QColor(0, 0, 255));
    EXPECT_TRUE(link->handCursor());
    EXPECT_FALSE(findControl<QCheckBox>(&dialog, MessageDialog::kDontShowId)->isChecked());
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/message.png")));
}

TEST(MessageDialog, OutcomeNeedsTheTickAndOk) {
    struct Case {
        bool tick;
        bool ok;
        Outcome outcome;
    } cases[] = {
        {true, true, Outcome::DontShowAgain},
        {false, true, Outcome::Closed},
        {true, false, Outcome::Closed}, // Escape or the close box
    };
    for (const auto& c : cases) {
        MessageDialog dialog({1, "t", "T", ""});
        dialog.show();
        findControl<QCheckBox>(&dialog, MessageDialog::kDontShowId)->setChecked(c.tick);
        if (c.ok)
            findControl<QPushButton>(&dialog, 1)->click();
        else {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &escape);
        }
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.outcome(), c.outcome) << c.tick << c.ok;
    }
}

TEST(MessageDialog, LinkOpensOnlyWebAddresses) {
    std::vector<QUrl> opened;
    CStaticEx::setUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    for (const char* link : {"http://a.invalid/x", "https://b.invalid/", "file:///etc/passwd",
                             "javascript:alert(1)", "", "ftp://c.invalid/"}) {
        MessageDialog dialog({1, "t", "T", link});
        test::FakeUiPrompt prompt; // "Unable to open ..." goes here
        dialog.link()->setPrompt(&prompt);
        dialog.link()->activate();
    }
    CStaticEx::setUrlOpener(nullptr);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].toString(), "http://a.invalid/x");
    EXPECT_EQ(opened[1].toString(), "https://b.invalid/");
}
