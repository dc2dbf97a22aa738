#pragma once

#include "alerts/AlertSettings.h"

#include <QDialog>

#include <map>
#include <optional>
#include <string>
#include <utility>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace ondel {

class ServerListSet;
class SettingsStore;

// "Alerts": the rules per server list and per server of it (down after misses in a row and
// back up, players at or above / at or below a number, map changed, a watched player joined),
// and the webhook and command every alert also goes to. What is changed is written to the
// settings on OK; the program picks it up from there.
class AlertsDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on the list at listIndex (the current list when out of range) and on server when it
    // is one of that list.
    AlertsDialog(const ServerListSet& lists, SettingsStore& settings, std::size_t listIndex,
                 const std::string& server, QWidget* parent = nullptr);

    // Modal, from a menu entry.
    static void edit(const ServerListSet& lists, SettingsStore& settings, std::size_t listIndex,
                     const std::string& server, QWidget* parent);

    void accept() override;

private:
    // (list name, server; empty for the whole list)
    using Scope = std::pair<std::string, std::string>;

    Scope scope() const;
    void fillServers();
    void showScope();
    void keepScope();
    void updateEnabled();

    const ServerListSet& m_lists;
    SettingsStore& m_settings;
    std::map<Scope, std::optional<AlertChoice>> m_edits;
    Scope m_shown;

    QComboBox* m_list = nullptr;
    QComboBox* m_server = nullptr;
    QCheckBox* m_use = nullptr;
    QCheckBox* m_down = nullptr;
    QSpinBox* m_downAfter = nullptr;
    QCheckBox* m_atLeast = nullptr;
    QSpinBox* m_atLeastCount = nullptr;
    QCheckBox* m_atMost = nullptr;
    QSpinBox* m_atMostCount = nullptr;
    QCheckBox* m_map = nullptr;
    QCheckBox* m_player = nullptr;
    QLineEdit* m_webhook = nullptr;
    QLineEdit* m_command = nullptr;
};

} // namespace ondel
