#include "FakeUiPrompt.h"
#include "ui/toolkit/AboutDialog.h"
#include "ui/toolkit/CEditEx.h"
#include "ui/toolkit/CStaticEx.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/StringTable.h"
#include "ui/toolkit/ToolTipButton.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ondel;
using ondel::test::FakeUiPrompt;

namespace {

void click(QWidget* w) {
    QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QPointF global = w->mapToGlobal(pos);
    QMouseEvent press(QEvent::MouseButtonPress, pos, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

// Restores the real browser opener after a test replaced it.
struct OpenerGuard {
    ~OpenerGuard() { CStaticEx::setUrlOpener(nullptr); }
};

} // namespace

TEST(CStaticEx, HandCursorWithoutTargetDoesNothingOnClick) {
    OpenerGuard guard;
    int opens = 0;
    CStaticEx::setUrlOpener([&](const QUrl&) {
        ++opens;
        return true;
    });
    FakeUiPrompt prompt;
    CStaticEx link;
    link.setPrompt(&prompt);
    link.setText(QStringLiteral("homepage"));
    link.resize(100, 20);
    link.setHandCursor(true);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    click(&link);
    EXPECT_EQ(opens, 0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_FALSE(link.isVisited());
    link.setHandCursor(false);
    EXPECT_EQ(link.cursor().shape(), Qt::ArrowCursor);
}

TEST(CStaticEx, VisitedColourOnlyAfterASuccessfulOpen) {
    OpenerGuard guard;
    bool succeed = false;
    std::vector<QUrl> opened;
    CStaticEx::setUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return succeed;
    });
    FakeUiPrompt prompt;
    CStaticEx link;
    link.setPrompt(&prompt);
    link.resize(100, 20);
    link.setTarget(QStringLiteral("https://example.invalid/x"));
    const QColor before = link.textColour();
    EXPECT_EQ(link.setTextColour(QColor(0, 0, 255)), before);
    click(&link);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), QStringLiteral("https://example.invalid/x"));
    EXPECT_FALSE(link.isVisited());
    EXPECT_EQ(link.currentTextColour(), QColor(0, 0, 255));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, "Unable to open https://example.invalid/x.");
    EXPECT_EQ(prompt.messages[0].icon, Prompt::Icon::Information);

    succeed = true;
    int openedSignals = 0;
    QObject::connect(&link, &CStaticEx::opened, [&] { ++openedSignals; });
    click(&link);
    EXPECT_TRUE(link.isVisited());
    EXPECT_EQ(openedSignals, 1);
    EXPECT_EQ(link.currentTextColour(), QColor(0, 128, 192));
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 128, 192));
    EXPECT_EQ(prompt.messages.size(), 1u);
}

TEST(CStaticEx, OnlyWebAddressesAreOpened) {
    OpenerGuard guard;
    int opens = 0;
    CStaticEx::setUrlOpener([&](const QUrl&) {
        ++opens;
        return true;
    });
    for (const char* target : {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm",
                               "ftp://example.invalid/", "http://", "mailto:a@b.c"}) {
        FakeUiPrompt prompt;
        CStaticEx link;
        link.setPrompt(&prompt);
        link.setTarget(QString::fromUtf8(target));
        link.activate();
        EXPECT_FALSE(link.isVisited()) << target;
        ASSERT_EQ(prompt.messages.size(), 1u) << target;
        EXPECT_EQ(prompt.messages[0].text, std::string("Unable to open ") + target + ".");
    }
    EXPECT_EQ(opens, 0);
    FakeUiPrompt prompt;
    CStaticEx link;
    link.setPrompt(&prompt);
    link.setTarget(QStringLiteral("HTTP://example.invalid/"));
    link.activate();
    EXPECT_EQ(opens, 1);
    EXPECT_TRUE(link.isVisited());
}

TEST(CEditEx, TextColourReturnsThePreviousOne) {
    CEditEx edit;
    const QColor normal = edit.textColour();
    EXPECT_EQ(edit.setTextColour(QColor(255, 0, 0)), normal);
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(edit.setTextColour(normal), QColor(255, 0, 0));
    EXPECT_EQ(edit.palette().color(QPalette::Text), normal);
    EXPECT_EQ(edit.palette().color(QPalette::Base), edit.backgroundColour());
}

namespace {

std::unique_ptr<ColorListCtrl> makeList() {
    auto list = std::make_unique<ColorListCtrl>();
    list->setColumns({{QString(), 0, Qt::AlignLeft},
                      {QStringLiteral("#"), 20, Qt::AlignLeft},
                      {QStringLiteral("Name"), 146, Qt::AlignLeft},
                      {QStringLiteral("Frags"), 40, Qt::AlignRight},
                      {QStringLiteral("Time"), 50, Qt::AlignHCenter}});
    list->resize(300, 200);
    return list;
}

// Whether any pixel inside rect of the image is close to the colour (text is antialiased, so
// only the cores of the glyphs reach the pen colour).
bool hasPixel(const QImage& image, const QRect& rect, const QColor& colour) {
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= 40 &&
                std::abs(c.green() - colour.green()) <= 40 &&
                std::abs(c.blue() - colour.blue()) <= 40)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(ColorListCtrl, RowRecordsColoursAndValues) {
    auto list = makeList();
    EXPECT_EQ(list->resetColours(), 0);
    EXPECT_EQ(list->insertRow(0, QString()), 0);
    EXPECT_EQ(list->insertRow(5, QString()), 1); // clamped to the end
    list->setCellColour(0, 3, rgb(0, 0, 178));
    EXPECT_EQ(list->cellColour(0, 0), kNormalColour);
    EXPECT_EQ(list->cellColour(0, 2), kNormalColour);
    EXPECT_EQ(list->cellColour(0, 3), rgb(0, 0, 178));
    EXPECT_EQ(list->cellColour(0, 4), kNormalColour);
    list->setCellColour(0, 5, kRed); // beyond the header columns: ignored
    EXPECT_EQ(list->cellColour(0, 5), kNormalColour);
    EXPECT_EQ(list->cellColour(7, 3), kNormalColour); // no such row

    EXPECT_EQ(list->rowValue(1), 0);
    EXPECT_TRUE(list->setRowValue(1, 42));
    EXPECT_EQ(list->rowValue(1), 42);
    EXPECT_FALSE(list->setRowValue(9, 1));
    EXPECT_EQ(list->rowValue(9), 0);

    EXPECT_EQ(list->resetColours(), 2);
    EXPECT_EQ(list->cellColour(0, 3), kNormalColour);
    list->deleteRow(0);
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->rowValue(0), 42);
    list->deleteAllRows();
    EXPECT_EQ(list->rowCount(), 0);
}

TEST(ColorListCtrl, DrawnColoursFadeAndInvertOnSelectedRows) {
    auto list = makeList();
    list->insertRow(0, QString());
    list->insertRow(1, QString());
    list->setCellColour(0, 3, kRed);
    QColor normal = list->normalTextColour();
    ASSERT_EQ(normal, QColor(0, 0, 0)) << "the checks below assume black text";

    EXPECT_EQ(list->drawnColour(0, 2), QColor(0, 0, 0));
    list->setFadePercent(-50);
    EXPECT_EQ(list->drawnColour(0, 2), QColor(128, 128, 128));
    EXPECT_EQ(list->drawnColour(0, 3), QColor(255, 128, 128));
    list->setFadePercent(0);
    list->setRowSelected(0, true);
    EXPECT_EQ(list->drawnColour(0, 2), QColor(255, 255, 255));
    EXPECT_EQ(list->drawnColour(0, 3), QColor(0, 255, 255));
    EXPECT_EQ(list->drawnColour(1, 3), QColor(0, 0, 0));
}

TEST(ColorListCtrl, PaintsCellsInTheirColours) {
    auto list = makeList();
    list->insertRow(0, QString());
    list->insertRow(1, QString());
    for (int row = 0; row < 2; ++row) {
        list->setItemText(row, 2, QStringLiteral("WWWWWWWW"));
        list->setItemText(row, 3, QStringLiteral("8888"));
    }
    list->setCellColour(0, 3, rgb(0, 0, 255));
    list->setRowSelected(1, true);
    list->show();
    QApplication::processEvents();
    QImage image = list->viewport()->grab().toImage();
    QRect frags0 = list->visualItemRect(list->topLevelItem(0));
    frags0.setLeft(list->header()->sectionViewportPosition(3));
    frags0.setWidth(list->header()->sectionSize(3));
    QRect name0 = frags0;
    name0.setLeft(list->header()->sectionViewportPosition(2));
    name0.setWidth(list->header()->sectionSize(2));
    EXPECT_TRUE(hasPixel(image, frags0, QColor(0, 0, 255)));
    EXPECT_TRUE(hasPixel(image, name0, QColor(0, 0, 0)));
    EXPECT_FALSE(hasPixel(image, name0, QColor(0, 0, 255)));
    QRect row1 = list->visualItemRect(list->topLevelItem(1));
    QRect name1(list->header()->sectionViewportPosition(2), row1.top(),
                list->header()->sectionSize(2), row1.height());
    EXPECT_TRUE(hasPixel(image, name1, QColor(0, 0, 128)));     // navy background
    EXPECT_TRUE(hasPixel(image, name1, QColor(255, 255, 255))); // inverted black text
    EXPECT_FALSE(hasPixel(image, name0, QColor(0, 0, 128)));
}

TEST(ColorListCtrl, HeaderClicksAndSelectionChangesAreReported) {
    auto list = makeList();
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    std::vector<int> clicks;
    std::vector<std::pair<int, bool>> changes;
    QObject::connect(list.get(), &ColorListCtrl::headerClicked,
                     [&](int c) { clicks.push_back(c); });
    QObject::connect(list.get(), &ColorListCtrl::rowSelectionChanged,
                     [&](int row, bool on) { changes.emplace_back(row, on); });
    list->insertRow(0, QString());
    list->insertRow(1, QString());
    list->show();
    QApplication::processEvents();
    emit list->header()->sectionClicked(3);
    EXPECT_EQ(clicks, std::vector<int>{3});
    // The list itself never reorders on a header click.
    list->setItemText(0, 2, QStringLiteral("b"));
    list->setItemText(1, 2, QStringLiteral("a"));
    emit list->header()->sectionClicked(2);
    EXPECT_EQ(list->itemText(0, 2), QStringLiteral("b"));

    list->setRowSelected(1, true);
    list->setRowSelected(1, true); // no change, no report
    list->setRowSelected(0, true);
    list->setRowSelected(1, false);
    std::vector<std::pair<int, bool>> expected{{1, true}, {0, true}, {1, false}};
    EXPECT_EQ(changes, expected);
}

TEST(ToolTipButton, TooltipFromTheStringTableLoadedOnce) {
    ToolTipButton console(QStringLiteral("-console"));
    console.bindToolTipButton(1045);
    EXPECT_EQ(console.toolTip(), QStringLiteral("Enables the console"));
    EXPECT_EQ(controlIdOf(&console), 1045);
    console.bindToolTipButton(1046); // a second binding keeps the first text
    EXPECT_EQ(console.toolTip(), QStringLiteral("Enables the console"));
    EXPECT_EQ(console.tipId(), 1045);

    ToolTipButton none;
    none.bindToolTipButton(1051); // no entry with that number
    EXPECT_TRUE(none.toolTip().isEmpty());
    EXPECT_EQ(none.tipId(), 1051);

    ToolTipButton ping;
    ping.bindToolTipButton(1052);
    EXPECT_TRUE(ping.toolTip().startsWith(QStringLiteral("Replace's the Half-Life server")));
}

TEST(StringTable, KnownAndUnknownEntries) {
    EXPECT_EQ(loadString(105).value_or(""), "v" ONDEL_VERSION_TEXT);
    EXPECT_EQ(loadString(104).value_or(""), "Ondel");
    EXPECT_FALSE(loadString(103).has_value()); // no socket library to start on this platform
    EXPECT_FALSE(loadString(1051).has_value());
    EXPECT_FALSE(loadString(0).has_value());
}

TEST(DialogUnits, FollowTheFont) {
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    DialogUnits a(small), b(large);
    EXPECT_GT(b.x(400), a.x(400));
    EXPECT_GT(b.y(321), a.y(321));
    EXPECT_EQ(a.x(4), a.averageCharWidth());
    EXPECT_EQ(a.y(8), a.charHeight());
    EXPECT_EQ(a.rect(8, 16, 40, 24), QRect(a.x(8), a.y(16), a.x(40), a.y(24)));
    EXPECT_EQ(a.x(0), 0);
}

TEST(UiPrompt, MessageBoxShowsPlainTextAndMapsTheAnswer) {
    UiPrompt prompt;
    QString shownText;
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->text();
        format = box->textFormat();
        box->button(QMessageBox::No)->click();
    });
    Prompt::Answer a = prompt.message("Delete", "Delete 1.2.3.4:5 <b>x</b>?\r\n\r\nSure?",
                                      Prompt::Buttons::YesNo, Prompt::Icon::Question);
    EXPECT_EQ(a, Prompt::Answer::No);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shownText, QStringLiteral("Delete 1.2.3.4:5 <b>x</b>?\n\nSure?"));

    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(prompt.message("t", "x", Prompt::Buttons::OkCancel, Prompt::Icon::Question),
              Prompt::Answer::Cancel);
}

TEST(AboutDialog, TextLinkAndVisitedColourPerShowing) {
    OpenerGuard guard;
    CStaticEx::setUrlOpener([](const QUrl&) { return true; });
    const QString text = AboutDialog::informationText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("\t\tOndel v" ONDEL_VERSION_TEXT " (Ondel)\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("The Ondel developers")));
    EXPECT_TRUE(text.contains(QStringLiteral("URL:\t") + AboutDialog::homepage()));
    EXPECT_TRUE(text.contains(QStringLiteral("No beta testers are listed.")));
    EXPECT_TRUE(text.contains(QStringLiteral("DISCLAIMER OF WARRANTY:")));
    EXPECT_TRUE(text.contains(QStringLiteral("LIMITATION OF LIABILITY:")));
    EXPECT_TRUE(text.contains(QStringLiteral("Creation-Time: ")));

    {
        AboutDialog about;
        auto* edit = findControl<QPlainTextEdit>(&about, 1007);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(edit->toPlainText(), text);
        auto* link = findControl<CStaticEx>(&about, 1052);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->target(), AboutDialog::homepage());
        EXPECT_EQ(link->text(), AboutDialog::homepageHost());
        EXPECT_TRUE(link->handCursor());
        EXPECT_EQ(link->currentTextColour(), QColor(0, 0, 255));
        link->activate();
        EXPECT_EQ(link->currentTextColour(), QColor(0, 128, 192));
        EXPECT_NE(findControl<QAbstractButton>(&about, 1), nullptr);
    }
    AboutDialog again;
    EXPECT_EQ(again.link()->currentTextColour(), QColor(0, 0, 255));
    // The box as it looks, for the eye.
    again.show();
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(again.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/about.png")));
}
