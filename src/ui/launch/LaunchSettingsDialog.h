#pragma once

#include "launch/LaunchSettingsForm.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace ondel {

class SettingsStore;
class ToolTipButton;
class UiPrompt;

// The launch "Settings" dialog (130): the client's directory with Browse, the switch check boxes
// with their tooltips, the additional parameters, a live preview of the command line and the
// quit-on-launch choice, and how the game is started (directly or through Steam). Reads the
// values when it is built; OK (accept) writes them in the order HLDir, ConnectionExit,
// Parameters, LaunchMethod; Cancel writes nothing. settings and prompt must
// outlive the dialog. GUI thread only.
class LaunchSettingsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDirectoryId = 1005;
    static constexpr int kBrowseId = 3;
    static constexpr int kAdditionalId = 1051;
    static constexpr int kPreviewId = 1030;
    static constexpr int kQuitId = 1044;
    static constexpr int kDirectId = 1060;
    static constexpr int kSteamId = 1061;

    LaunchSettingsDialog(SettingsStore& settings, UiPrompt& prompt, QWidget* parent = nullptr);

    void accept() override;

    // Browse: asks for the client program and takes its directory.
    void browse();

    const LaunchSettingsForm& form() const { return m_form; }

private:
    void showPreview();

    SettingsStore& m_settings;
    UiPrompt& m_prompt;
    LaunchSettingsForm m_form;
    QLineEdit* m_directory;
    std::array<ToolTipButton*, LaunchSettingsForm::kSwitchCount> m_switches{};
    QLineEdit* m_additional;
    QPlainTextEdit* m_preview;
    QCheckBox* m_quit;
    QRadioButton* m_direct;
    QRadioButton* m_steam;
};

} // namespace ondel
