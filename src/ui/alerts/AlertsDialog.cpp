#include "AlertsDialog.h"

#include "browser/BrowserRow.h"
#include "common/Text.h"
#include "serverlist/ServerListSet.h"
#include "ui/toolkit/PlainText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ondel {

namespace {

QString utf8(const std::string& bytes) {
    return displayText(text::toDisplayUtf8(bytes));
}

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A form row: the label, whose access key goes to the widget, and the widget.
template <typename W>
W* labelled(QFormLayout* form, const QString& label, W* widget, const char* name) {
    auto* text = new QLabel(label, widget->parentWidget());
    text->setBuddy(widget);
    form->addRow(text, named(widget, name));
    return widget;
}

// A check box with a number after it; the number is named for screen readers.
QSpinBox* numberAfter(QCheckBox* box, int min, int max, const QString& name, QFormLayout* form) {
    auto* spin = new QSpinBox(box->parentWidget());
    spin->setRange(min, max);
    spin->setAccessibleName(name);
    auto* row = new QHBoxLayout;
    row->addWidget(box);
    row->addWidget(spin);
    row->addStretch(1);
    form->addRow(row);
    QObject::connect(box, &QCheckBox::toggled, spin, &QWidget::setEnabled);
    return spin;
}

} // namespace

AlertsDialog::AlertsDialog(const ServerListSet& lists, SettingsStore& settings,
                           std::size_t listIndex, const std::string& server, QWidget* parent)
    : QDialog(parent), m_lists(lists), m_settings(settings) {
    setWindowTitle(QStringLiteral("Alerts"));
    auto* form = new QFormLayout;

    m_list = labelled(form, QStringLiteral("Server &list:"), new QComboBox(this), "alertList");
    for (std::size_t i = 0; i < lists.size(); ++i)
        m_list->addItem(utf8(lists.at(i).name()));
    m_server = labelled(form, QStringLiteral("&Server:"), new QComboBox(this), "alertServer");

    m_use = named(new QCheckBox(this), "alertUse");
    form->addRow(m_use);
    m_down = named(new QCheckBox(QStringLiteral("&Down (and back up) after"), this), "alertDown");
    m_downAfter = numberAfter(m_down, 1, kMaxDownAfter, QStringLiteral("Misses in a row"), form);
    m_downAfter->setSuffix(QStringLiteral(" misses in a row"));
    named(m_downAfter, "alertDownAfter");
    m_atLeast = named(new QCheckBox(QStringLiteral("Players at or a&bove"), this), "alertAtLeast");
    m_atLeastCount = named(
        numberAfter(m_atLeast, 0, kMaxAlertPlayers, QStringLiteral("Players at or above"), form),
        "alertAtLeastCount");
    m_atMost = named(new QCheckBox(QStringLiteral("Players at or bel&ow"), this), "alertAtMost");
    m_atMostCount = named(
        numberAfter(m_atMost, 0, kMaxAlertPlayers, QStringLiteral("Players at or below"), form),
        "alertAtMostCount");
    m_map = named(new QCheckBox(QStringLiteral("&Map changed"), this), "alertMap");
    form->addRow(m_map);
    m_player =
        named(new QCheckBox(
                  QStringLiteral("A watched &player joined (the browser's \"Watch players\" list)"),
                  this),
              "alertPlayer");
    form->addRow(m_player);

    form->addRow(new QLabel(QStringLiteral("Every alert also goes to:"), this));
    m_webhook = labelled(form, QStringLiteral("&Webhook URL:"),
                         new QLineEdit(displayText(alertWebhook(settings)), this), "alertWebhook");
    m_webhook->setPlaceholderText(QStringLiteral("https://... (the alert is posted as JSON)"));
    m_command = labelled(form, QStringLiteral("&Command:"),
                         new QLineEdit(displayText(alertCommand(settings)), this), "alertCommand");
    m_command->setPlaceholderText(QStringLiteral("run by /bin/sh, the alert in ONDEL_* variables"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    m_list->setCurrentIndex(listIndex < lists.size() ? static_cast<int>(listIndex)
                                                     : static_cast<int>(lists.currentIndex()));
    fillServers();
    if (!server.empty()) {
        const int at = m_server->findData(QByteArray::fromStdString(server));
        if (at >= 0)
            m_server->setCurrentIndex(at);
    }
    showScope();
    connect(m_list, &QComboBox::currentIndexChanged, this, [this] {
        keepScope();
        fillServers();
        showScope();
    });
    connect(m_server, &QComboBox::currentIndexChanged, this, [this] {
        keepScope();
        showScope();
    });
    connect(m_use, &QCheckBox::toggled, this, &AlertsDialog::updateEnabled);
}

void AlertsDialog::edit(const ServerListSet& lists, SettingsStore& settings, std::size_t listIndex,
                        const std::string& server, QWidget* parent) {
    AlertsDialog dialog(lists, settings, listIndex, server, parent);
    dialog.exec();
}

AlertsDialog::Scope AlertsDialog::scope() const {
    const int list = m_list->currentIndex();
    if (list < 0 || static_cast<std::size_t>(list) >= m_lists.size())
        return {};
    return {m_lists.at(static_cast<std::size_t>(list)).name(),
            m_server->currentData().toByteArray().toStdString()};
}

void AlertsDialog::fillServers() {
    const QSignalBlocker quiet(m_server);
    m_server->clear();
    m_server->addItem(QStringLiteral("All servers of the list"), QByteArray());
    const int list = m_list->currentIndex();
    if (list < 0 || static_cast<std::size_t>(list) >= m_lists.size())
        return;
    for (const ServerEntry& entry : m_lists.at(static_cast<std::size_t>(list)).entries()) {
        const std::string address = addressText(entry.address);
        // Server text on one line: it may hold anything.
        const std::string name =
            withVisibleControls(text::cutUtf8(text::toDisplayUtf8(entry.hostName), 64));
        m_server->addItem(displayText(name.empty()
                                          ? text::toDisplayUtf8(address)
                                          : name + " (" + text::toDisplayUtf8(address) + ")"),
                          QByteArray::fromStdString(address));
    }
}

void AlertsDialog::showScope() {
    m_shown = scope();
    std::optional<AlertChoice> choice;
    if (auto it = m_edits.find(m_shown); it != m_edits.end())
        choice = it->second;
    else if (m_shown.second.empty())
        choice = readListAlerts(m_settings, m_shown.first);
    else
        choice = readServerAlerts(m_settings, m_shown.second);
    m_use->setText(m_shown.second.empty() ? QStringLiteral("&Alerts for the servers of this list")
                                          : QStringLiteral("&Alerts of its own for this server"));
    m_use->setChecked(choice.has_value());
    const AlertChoice c = choice.value_or(AlertChoice{});
    m_down->setChecked(c.downAfter > 0);
    m_downAfter->setValue(c.downAfter > 0 ? c.downAfter : AlertChoice{}.downAfter);
    m_atLeast->setChecked(c.playersAtLeast.has_value());
    m_atLeastCount->setValue(c.playersAtLeast.value_or(0));
    m_atMost->setChecked(c.playersAtMost.has_value());
    m_atMostCount->setValue(c.playersAtMost.value_or(0));
    m_map->setChecked(c.mapChanges);
    m_player->setChecked(c.watchedPlayers);
    updateEnabled();
}

void AlertsDialog::keepScope() {
    if (m_shown.first.empty() && m_lists.empty())
        return;
    std::optional<AlertChoice> choice;
    if (m_use->isChecked()) {
        AlertChoice c;
        c.downAfter = m_down->isChecked() ? m_downAfter->value() : 0;
        if (m_atLeast->isChecked())
            c.playersAtLeast = m_atLeastCount->value();
        if (m_atMost->isChecked())
            c.playersAtMost = m_atMostCount->value();
        c.mapChanges = m_map->isChecked();
        c.watchedPlayers = m_player->isChecked();
        choice = c;
    }
    m_edits[m_shown] = choice;
}

void AlertsDialog::updateEnabled() {
    const bool on = m_use->isChecked();
    for (QCheckBox* box : {m_down, m_atLeast, m_atMost, m_map, m_player})
        box->setEnabled(on);
    m_downAfter->setEnabled(on && m_down->isChecked());
    m_atLeastCount->setEnabled(on && m_atLeast->isChecked());
    m_atMostCount->setEnabled(on && m_atMost->isChecked());
}

void AlertsDialog::accept() {
    const std::string webhook = m_webhook->text().trimmed().toStdString();
    if (!webhook.empty() && !isWebhookUrl(webhook)) {
        QMessageBox::warning(this, QStringLiteral("Alerts"),
                             QStringLiteral("The webhook needs an http:// or https:// address."));
        m_webhook->setFocus();
        return;
    }
    keepScope();
    for (const auto& [where, choice] : m_edits) {
        if (where.second.empty())
            writeListAlerts(m_settings, where.first, choice);
        else
            writeServerAlerts(m_settings, where.second, choice);
    }
    writeAlertTargets(m_settings, webhook, m_command->text().toStdString());
    QDialog::accept();
}

} // namespace ondel
