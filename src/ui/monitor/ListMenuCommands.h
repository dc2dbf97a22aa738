#pragma once

#include <QObject>

class QWidget;

namespace ondel {

class EntryEditor;
class UiPrompt;
struct WindowServices;

// The monitor's menu commands on the server lists (Open, New, Delete, Rename), the order of the
// server selector, and the About box. Its dialogs open over the window given. GUI thread only.
class ListMenuCommands : public QObject {
    Q_OBJECT
public:
    ListMenuCommands(WindowServices& services, UiPrompt& prompt, EntryEditor& editor,
                     QWidget* window);

    void sortBy(int commandId);
    void openList();
    void newList();
    void deleteList();
    void renameList();
    void about();

private:
    WindowServices& m_services;
    UiPrompt& m_prompt;
    EntryEditor& m_editor;
    QWidget* m_window;
};

} // namespace ondel
