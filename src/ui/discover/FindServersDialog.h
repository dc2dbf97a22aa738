#pragma once

#include "discover/Discovery.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QThread;

namespace ondel {

class Prompt;
class ServerListSet;
class SettingsStore;

// The command id of "Server List > Find Servers...".
inline constexpr int kFindServersCommand = 40041;

// "Find Servers": asks the Steam Web API's server list for a game (the engine's games, or any
// mod folder typed in), a map, not empty, not full and how many, with the user's own key, and
// puts what it finds into a list of the set (an existing one, or a new one in the data
// directory), without repeats. The list is written at once. The search runs on a worker thread;
// closing the dialog cancels it. The key is kept in the settings as SteamApiKey and never shown
// in a message. GUI thread. settings, lists and prompt must outlive the dialog.
class FindServersDialog : public QDialog {
    Q_OBJECT
public:
    FindServersDialog(SettingsStore& settings, ServerListSet& lists, std::string dataDirectory,
                      Prompt& prompt, QWidget* parent = nullptr);
    ~FindServersDialog() override;

    // Called after servers went into the list at index (the set's index).
    void setListFilledHandler(std::function<void(std::size_t index)> handler) {
        m_listFilled = std::move(handler);
    }

    // The new list's name when the dialog opens, or the first free one after it ("found 2").
    static constexpr const char* kDefaultNewListTitle = "found";

    static constexpr int kGameId = 1201;
    static constexpr int kMapId = 1202;
    static constexpr int kNotEmptyId = 1203;
    static constexpr int kNotFullId = 1204;
    static constexpr int kLimitId = 1205;
    static constexpr int kKeyId = 1206;
    static constexpr int kKeyLinkId = 1207;
    static constexpr int kListId = 1208;
    static constexpr int kNewListId = 1209;
    static constexpr int kFindId = 1210;
    static constexpr int kStatusId = 1211;

    QComboBox* gameCombo() const { return m_game; }
    QLineEdit* mapEdit() const { return m_map; }
    QCheckBox* notEmptyBox() const { return m_notEmpty; }
    QCheckBox* notFullBox() const { return m_notFull; }
    QSpinBox* limitBox() const { return m_limit; }
    QLineEdit* keyEdit() const { return m_key; }
    QLabel* keyLink() const { return m_keyLink; }
    QComboBox* listCombo() const { return m_list; }
    QLineEdit* newListEdit() const { return m_newList; }
    QPushButton* findButton() const { return m_find; }
    QLabel* statusLabel() const { return m_status; }
    bool searching() const { return m_worker != nullptr; }

    // The filter the fields describe.
    DiscoverFilter filter() const;
    // Opens a link of the dialog only when it is http or https.
    static bool openLink(const QString& link);

private:
    void onFind();
    void onSearchDone();
    void fillLists();
    void showStatus(const QString& text, bool error);
    // The new list's file title as typed, in the file system's bytes.
    std::string newListTitle() const;

    SettingsStore& m_settings;
    ServerListSet& m_lists;
    std::string m_dataDirectory;
    Prompt& m_prompt;
    std::function<void(std::size_t)> m_listFilled;

    QComboBox* m_game;
    QLineEdit* m_map;
    QCheckBox* m_notEmpty;
    QCheckBox* m_notFull;
    QSpinBox* m_limit;
    QLineEdit* m_key;
    QLabel* m_keyLink;
    QComboBox* m_list;
    QLineEdit* m_newList;
    QPushButton* m_find;
    QLabel* m_status;

    QThread* m_worker = nullptr;
    std::atomic<bool> m_cancel{false};
    std::shared_ptr<DiscoverResult> m_result;
};

} // namespace ondel
