#include "LaunchSettingsDialog.h"

#include "launch/LaunchPlan.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/ToolTipButton.h"
#include "ui/toolkit/UiPrompt.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ondel {

LaunchSettingsDialog::LaunchSettingsDialog(SettingsStore& settings, UiPrompt& prompt,
                                           QWidget* parent)
    : QDialog(parent), m_settings(settings), m_prompt(prompt) {
    setWindowTitle(QStringLiteral("Settings"));
    const QString client = QString::fromLatin1(clientProgramName());

    auto* directoryGroup = new QGroupBox(QStringLiteral("Half-Life Directory"), this);
    m_directory = new QLineEdit(directoryGroup);
    m_directory->setAccessibleName(directoryGroup->title());
    setControlId(m_directory, kDirectoryId);
    auto* browse = new QPushButton(QStringLiteral("Browse ..."), directoryGroup);
    setControlId(browse, kBrowseId);
    browse->setAutoDefault(false);
    auto* directoryRow = new QHBoxLayout(directoryGroup);
    directoryRow->addWidget(m_directory, 1);
    directoryRow->addWidget(browse);

    auto* parameterGroup = new QGroupBox(client + QStringLiteral(" parameters"), this);
    auto* grid = new QGridLayout(parameterGroup);
    const auto& table = LaunchSettingsForm::switches();
    for (std::size_t i = 0; i < table.size(); ++i) {
        auto* box = new ToolTipButton(QString::fromLatin1(table[i].text), parameterGroup);
        setControlId(box, table[i].controlId);
        box->bindToolTipButton(table[i].controlId);
        m_switches[i] = box;
        grid->addWidget(box, static_cast<int>(i / 4), static_cast<int>(i % 4));
    }
    const int below = static_cast<int>((table.size() + 3) / 4);
    auto* additionalLabel = new QLabel(QStringLiteral("Additional parameters:"), parameterGroup);
    grid->addWidget(additionalLabel, below, 0, 1, 4);
    m_additional = new QLineEdit(parameterGroup);
    setControlId(m_additional, kAdditionalId);
    additionalLabel->setBuddy(m_additional);
    grid->addWidget(m_additional, below + 1, 0, 1, 4);
    auto* previewLabel = new QLabel(QStringLiteral("Parameters:"), parameterGroup);
    grid->addWidget(previewLabel, below + 2, 0, 1, 4);
    // Read-only, but it may need scrolling: it stays in the Tab chain, and Tab leaves it.
    m_preview = new QPlainTextEdit(parameterGroup);
    m_preview->setReadOnly(true);
    m_preview->setTabChangesFocus(true);
    previewLabel->setBuddy(m_preview);
    m_preview->setMaximumHeight(m_preview->fontMetrics().lineSpacing() * 4);
    setControlId(m_preview, kPreviewId);
    grid->addWidget(m_preview, below + 3, 0, 1, 4);

    // Today's game runs only while Steam runs; through Steam, Steam starts it and logs it in.
    auto* methodGroup = new QGroupBox(QStringLiteral("Start the game:"), this);
    m_direct = new QRadioButton(QStringLiteral("directly (%1 in the Half-Life folder)").arg(client),
                                methodGroup);
    setControlId(m_direct, kDirectId);
    m_steam = new QRadioButton(QStringLiteral("through Steam"), methodGroup);
    setControlId(m_steam, kSteamId);
    auto* methodRow = new QHBoxLayout(methodGroup);
    methodRow->addWidget(m_direct);
    methodRow->addWidget(m_steam);
    methodRow->addStretch(1);

    m_quit = new QCheckBox(QStringLiteral("Quit Ondel while running Half-Life"), this);
    setControlId(m_quit, kQuitId);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    setControlId(buttons->button(QDialogButtonBox::Ok), 1);
    setControlId(buttons->button(QDialogButtonBox::Cancel), 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(methodGroup);
    layout->addWidget(directoryGroup);
    layout->addWidget(parameterGroup);
    layout->addWidget(m_quit);
    layout->addWidget(buttons);

    // Opening: the stored values taken apart into the controls.
    m_form.load(readLaunchSettings(m_settings));
    m_directory->setText(QString::fromStdString(m_form.hlDir()));
    m_quit->setChecked(m_form.connectionExit());
    (m_form.method() == LaunchMethod::Steam ? m_steam : m_direct)->setChecked(true);
    for (std::size_t i = 0; i < m_switches.size(); ++i)
        m_switches[i]->setChecked(m_form.ticked(i));
    m_additional->setText(QString::fromStdString(m_form.additional()));
    showPreview();

    for (std::size_t i = 0; i < m_switches.size(); ++i) {
        connect(m_switches[i], &QCheckBox::toggled, this, [this, i](bool on) {
            m_form.setTicked(i, on);
            showPreview();
        });
    }
    connect(m_additional, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_form.setAdditional(text.toStdString());
        showPreview();
    });
    connect(m_steam, &QRadioButton::toggled, this, [this](bool on) {
        m_form.setMethod(on ? LaunchMethod::Steam : LaunchMethod::Direct);
        showPreview();
    });
    connect(browse, &QPushButton::clicked, this, &LaunchSettingsDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &LaunchSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LaunchSettingsDialog::reject);
}

void LaunchSettingsDialog::showPreview() {
    m_preview->setPlainText(displayText(m_form.preview()));
}

void LaunchSettingsDialog::browse() {
    const QString client = QString::fromLatin1(clientProgramName());
    // The file name is filled in, in the folder the edit names (if any).
    const QString folder = m_directory->text();
    std::optional<std::string> chosen = m_prompt.chooseOpenFile(
        client, client + QStringLiteral(" (") + client + QStringLiteral(");;*.* (*)"),
        folder.isEmpty() ? client : folder + QStringLiteral("/") + client);
    if (!chosen)
        return;
    if (auto directory = LaunchSettingsForm::directoryOfChosenFile(*chosen))
        m_directory->setText(QString::fromStdString(*directory));
}

void LaunchSettingsDialog::accept() {
    m_form.setHlDir(m_directory->text().toStdString());
    m_form.setConnectionExit(m_quit->isChecked());
    writeLaunchSettings(m_settings, m_form.result());
    QDialog::accept();
}

} // namespace ondel
