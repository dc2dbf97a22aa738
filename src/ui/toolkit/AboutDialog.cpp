#include "AboutDialog.h"

#include "CStaticEx.h"
#include "ControlId.h"
#include "DialogUnits.h"
#include "PlainText.h"
#include "StringTable.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#ifndef ONDEL_HOMEPAGE
#define ONDEL_HOMEPAGE "https://ondel.invalid/"
#endif

namespace ondel {

namespace {

QString tableText(int id) {
    return QString::fromStdString(loadString(id).value_or(std::string()));
}

} // namespace

QString AboutDialog::homepage() {
    return QStringLiteral(ONDEL_HOMEPAGE);
}

QString AboutDialog::homepageHost() {
    QUrl url(homepage());
    return url.host().isEmpty() ? homepage() : url.host();
}

QString AboutDialog::informationText() {
    const QString version = tableText(105);
    const QString fullName = tableText(104);
    QStringList lines;
    lines << QStringLiteral("\t\tOndel %1 (%2)").arg(version, fullName);
    lines << QStringLiteral("\t\t\tby The Ondel developers");
    lines << QString();
    lines << QStringLiteral("URL:\t") + homepage();
    lines << QStringLiteral("eMail:\tsee the homepage");
    lines << QString();
    lines << QStringLiteral("Special thanks to my beta tester:");
    lines << QStringLiteral("\tNo beta testers are listed.");
    lines << QString();
    lines << QStringLiteral("Copyright (C) The Ondel developers. Ondel may be copied and "
                            "distributed freely, in unchanged form and free of charge.");
    lines << QString();
    lines << QStringLiteral("DISCLAIMER OF WARRANTY: ONDEL IS PROVIDED \"AS IS\", WITHOUT "
                            "WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED "
                            "TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR "
                            "PURPOSE AND NONINFRINGEMENT.");
    lines << QString();
    lines << QStringLiteral("LIMITATION OF LIABILITY: IN NO EVENT SHALL THE ONDEL DEVELOPERS BE "
                            "LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY ARISING FROM, OUT OF "
                            "OR IN CONNECTION WITH ONDEL OR ITS USE.");
    lines << QString();
    lines << QStringLiteral("Creation-Time: " __DATE__ " " __TIME__);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

AboutDialog::AboutDialog(QWidget* parent, Prompt* prompt) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    const DialogUnits du(font());
    setFixedSize(du.size(295, 209));

    m_text = new QPlainTextEdit(this);
    setControlId(m_text, 1007);
    du.place(m_text, 8, 8, 280, 172);
    m_text->setReadOnly(true);
    m_text->setTabChangesFocus(true); // read-only, but scrolled by keys: Tab leaves it
    m_text->setAccessibleName(QStringLiteral("About Ondel"));
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setTabStopDistance(du.x(16));
    m_text->setPlainText(informationText());

    auto* caption = new QLabel(this);
    setPlainLabelText(caption, QStringLiteral("Visit Ondel homepage:"));
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Wider than the first design's 74 units, which cut the text with today's fonts.
    du.place(caption, 40, 192, 114, 8);

    m_link = new CStaticEx(this);
    setControlId(m_link, 1052);
    m_link->setText(homepageHost());
    m_link->setLinkFont(du.charHeight() - 2, font().family());
    m_link->setTextColour(QColor(0, 0, 255));
    m_link->setTarget(homepage());
    m_link->setHandCursor(true);
    m_link->setPrompt(prompt);
    m_link->setBackgroundRole(QPalette::Window);
    du.place(m_link, 160, 192, 76, 8);

    m_close = new QPushButton(QStringLiteral("Close"), this);
    setControlId(m_close, 1);
    m_close->setDefault(true);
    du.place(m_close, 240, 188, 50, 14);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    m_close->setFocus();
}

} // namespace ondel
