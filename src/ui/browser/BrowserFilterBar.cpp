#include "BrowserFilterBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace ondel {

BrowserFilterBar::BrowserFilterBar(QWidget* parent) : QWidget(parent) {
    m_filterEdit = new QLineEdit(this);
    m_filterEdit->setPlaceholderText(QStringLiteral("name, map or address"));
    m_filterEdit->setClearButtonEnabled(true);
    m_hideEmpty = new QCheckBox(QStringLiteral("Hide empty"), this);
    m_hideFull = new QCheckBox(QStringLiteral("Hide full"), this);
    m_hidePassword = new QCheckBox(QStringLiteral("Hide password-protected"), this);
    m_hideFakes = new QCheckBox(QStringLiteral("Hide suspect servers"), this);
    m_hideFakes->setToolTip(
        QStringLiteral("Servers whose answers look made up (a fake server farm's lure)"));
    m_hideFakes->setChecked(true);
    m_playerEdit = new QLineEdit(this);
    m_playerEdit->setPlaceholderText(QStringLiteral("part of a name"));
    m_playerEdit->setClearButtonEnabled(true);
    connect(m_filterEdit, &QLineEdit::textChanged, this, &BrowserFilterBar::changed);
    connect(m_playerEdit, &QLineEdit::textChanged, this, &BrowserFilterBar::changed);
    for (QCheckBox* box : {m_hideEmpty, m_hideFull, m_hidePassword, m_hideFakes})
        connect(box, &QCheckBox::toggled, this, &BrowserFilterBar::changed);
    m_filterEdit->setObjectName(QLatin1String(kFilterText));
    m_playerEdit->setObjectName(QLatin1String(kPlayerName));
    m_hideEmpty->setObjectName(QLatin1String(kHideEmpty));
    m_hideFull->setObjectName(QLatin1String(kHideFull));
    m_hidePassword->setObjectName(QLatin1String(kHidePassword));
    m_hideFakes->setObjectName(QLatin1String(kHideFakes));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Filter:"), this));
    row->addWidget(m_filterEdit, 2);
    row->addWidget(m_hideEmpty);
    row->addWidget(m_hideFull);
    row->addWidget(m_hidePassword);
    row->addWidget(m_hideFakes);
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("Find player:"), this));
    row->addWidget(m_playerEdit, 1);
}

BrowserFilter BrowserFilterBar::filter() const {
    BrowserFilter filter;
    filter.text = m_filterEdit->text().trimmed().toStdString();
    filter.player = playerText().toStdString();
    filter.hideEmpty = m_hideEmpty->isChecked();
    filter.hideFull = m_hideFull->isChecked();
    filter.hidePassword = m_hidePassword->isChecked();
    filter.hideFakes = m_hideFakes->isChecked();
    return filter;
}

QString BrowserFilterBar::playerText() const {
    return m_playerEdit->text().trimmed();
}

} // namespace ondel
