#pragma once

#include "serverlist/ServerEntry.h"

#include <QObject>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QString;
class QWidget;

namespace ondel {

class DialogUnits;
class ListSelector;
class ServerSelector;
class UiPrompt;
class UpDownArrows;
struct WindowServices;

// The monitor's choice of list and server and the user's data of the shown entry: the list and
// server selectors with their arrows, the comment, the password with Hide and Save, and the
// reserved slots. Every edit goes into the current server at once
// (QueryEngine::setCurrentServer). The controls are made in the form given, at their classic
// places. The services, the prompt and work (the window's working copy) must outlive the editor.
// GUI thread only.
class EntryEditor : public QObject {
    Q_OBJECT
public:
    EntryEditor(WindowServices& services, UiPrompt& prompt, ServerEntry& work, QWidget* form,
                const DialogUnits& du);

    // Puts text into the server selector's edit field as if it had been typed.
    void setServerText(const QString& text);

    // The list and server selectors.
    void fillListSelector();
    void selectList();
    void fillSelector();
    void selectServer();
    // Makes the list at index current, as if chosen in the list selector.
    void chooseList(int index);
    // The Delete key on item index of the open server drop-down; topRow is restored afterwards.
    void deleteEntry(int index, int topRow);
    // Shows the server of the current list at that address as if chosen in the drop-down; false
    // (and nothing changes) when the list does not hold it.
    bool chooseServer(const ServerAddress& address);

    // The menu's way to the same: the shown server is put into the current list now (Add), or
    // taken out of it after the question the Delete key asks (Delete). Each does nothing when
    // it does not apply (see canAddShown, canDeleteShown).
    void addShownServer();
    void deleteShownServer();
    bool canAddShown() const;
    bool canDeleteShown() const;

    // Sets the password's echo mode to the working copy's Hide.
    void applyPasswordEcho();

signals:
    // Before another server is selected.
    void aboutToSelectServer();
    // Another server (or none) is shown: the window shows it at once.
    void serverChanged();

private:
    void build(QWidget* form, const DialogUnits& du);
    void showNone();
    void showEditFields();
    // The selector item of the shown server, or -1.
    int shownItem() const;
    // Asks whether to delete the server of item index and does so; true when it was deleted.
    bool askAndDelete(int index);
    // Copies the engine's current server, lets edit change it and makes it current again.
    template <typename Edit> void editCurrent(Edit edit);

    void onServerItemChosen(int index);
    void onArrowStep(int step);
    void onPasswordEdited();
    void onHideClicked();
    void onCommentEdited();
    void onReservedSlotsChosen(int index);

    WindowServices& m_services;
    UiPrompt& m_prompt;
    ServerEntry& m_work;
    bool m_showingFields = false;     // the edit controls are being written: no edit events
    std::optional<bool> m_echoHidden; // the password echo mode applied last

    ListSelector* m_listSelector = nullptr;
    ServerSelector* m_serverSelector = nullptr;
    UpDownArrows* m_arrows = nullptr;
    QPlainTextEdit* m_comment = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_hide = nullptr;
    QCheckBox* m_save = nullptr;
    QComboBox* m_reservedSlots = nullptr;
};

} // namespace ondel
