#include "ui/launch/LaunchSettingsDialog.h"
#include "../../core/fakes/FakeSettingsStore.h"
#include "../toolkit/FakeUiPrompt.h"
#include "launch/LaunchParameters.h"
#include "launch/LaunchPlan.h"
#include "launch/LaunchSettingsForm.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/ToolTipButton.h"

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace ondel;

namespace {
constexpr const char* kSettings = "Settings";

// Records the order of writes, on top of the in-memory store.
struct RecordingStore : test::FakeSettingsStore {
    std::vector<std::string> written;
    bool writeInt(const std::string& k, const std::string& n, std::int32_t v) override {
        written.push_back(n);
        return FakeSettingsStore::writeInt(k, n, v);
    }
    bool writeString(const std::string& k, const std::string& n, const std::string& v) override {
        written.push_back(n);
        return FakeSettingsStore::writeString(k, n, v);
    }
};

ToolTipButton* switchBox(QDialog& d, const char* name) {
    for (const auto& s : LaunchSettingsForm::switches())
        if (std::string(s.text) == name)
            return findControl<ToolTipButton>(&d, s.controlId);
    return nullptr;
}
QLineEdit* edit(QDialog& d, int id) {
    return findControl<QLineEdit>(&d, id);
}
} // namespace

TEST(LaunchSettingsDialog, FirstRunShowsTheDefaults) {
    RecordingStore store;
    test::FakeUiPrompt prompt;
    LaunchSettingsDialog dialog(store, prompt);
    for (const auto& s : LaunchSettingsForm::switches()) {
        auto* box = findControl<ToolTipButton>(&dialog, s.controlId);
        ASSERT_NE(box, nullptr) << s.text;
        EXPECT_EQ(box->isChecked(), std::string(s.text) == "-console") << s.text;
        EXPECT_EQ(box->text().toStdString(), s.text);
        EXPECT_EQ(box->toolTip().toStdString(), s.tooltip) << s.text;
    }
    EXPECT_EQ(edit(dialog, LaunchSettingsDialog::kDirectoryId)->text(), "");
    EXPECT_EQ(edit(dialog, LaunchSettingsDialog::kAdditionalId)->text(), "");
    EXPECT_FALSE(findControl<QCheckBox>(&dialog, LaunchSettingsDialog::kQuitId)->isChecked());
    auto* preview = findControl<QPlainTextEdit>(&dialog, LaunchSettingsDialog::kPreviewId);
    EXPECT_TRUE(preview->isReadOnly());
    EXPECT_TRUE(preview->toPlainText().endsWith(" [+password <PASSWORD>] -console"));
    EXPECT_TRUE(store.written.empty());
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/launch-settings.png")));
}

TEST(LaunchSettingsDialog, OkStoresAQuotedGroupAsOneArgumentInOrder) {
    RecordingStore store;
    store.writeString(kSettings, "Parameters", "-console -WIN -zone 4096");
    store.written.clear();
    test::FakeUiPrompt prompt;
    LaunchSettingsDialog dialog(store, prompt);
    // The upper-case switch is not a switch of the table: it stays a word of its own.
    EXPECT_EQ(edit(dialog, LaunchSettingsDialog::kAdditionalId)->text(), "-WIN -zone 4096");
    EXPECT_FALSE(switchBox(dialog, "-win")->isChecked());

    switchBox(dialog, "-win")->click();
    switchBox(dialog, "-console")->click();
    edit(dialog, LaunchSettingsDialog::kAdditionalId)->setText("\"+name my player\" -zone 4096");
    auto* preview = findControl<QPlainTextEdit>(&dialog, LaunchSettingsDialog::kPreviewId);
    EXPECT_TRUE(preview->toPlainText().endsWith("] -win \"+name my player\" -zone 4096"))
        << preview->toPlainText().toStdString();
    edit(dialog, LaunchSettingsDialog::kDirectoryId)->setText("/opt/half life");
    findControl<QCheckBox>(&dialog, LaunchSettingsDialog::kQuitId)->setChecked(true);
    findControl<QPushButton>(&dialog, 1)->click();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(store.written,
              (std::vector<std::string>{"HLDir", "ConnectionExit", "Parameters", "LaunchMethod"}));
    const std::string stored = store.readString(kSettings, "Parameters", "");
    EXPECT_EQ(stored, "-win \"+name my player\" -zone 4096");
    EXPECT_EQ(splitParameters(stored),
              (std::vector<std::string>{"-win", "+name my player", "-zone", "4096"}));
    EXPECT_EQ(store.readString(kSettings, "HLDir", ""), "/opt/half life");
    EXPECT_EQ(store.readInt(kSettings, "ConnectionExit", 0), 1);
    EXPECT_EQ(store.readString(kSettings, "LaunchMethod", ""), "direct");
}

TEST(LaunchSettingsDialog, StartThroughSteamIsStoredAndShown) {
    // No Steam on PATH: a first start shows the direct start.
    struct EmptyPath {
        QByteArray saved = qgetenv("PATH");
        EmptyPath() { qputenv("PATH", QByteArray()); }
        ~EmptyPath() { qputenv("PATH", saved); }
    } emptyPath;
    test::FakeSettingsStore store;
    test::FakeUiPrompt prompt;
    auto steamButton = [](QDialog& d) {
        return findControl<QRadioButton>(&d, LaunchSettingsDialog::kSteamId);
    };
    auto direct = [](QDialog& d) {
        return findControl<QRadioButton>(&d, LaunchSettingsDialog::kDirectId);
    };
    {
        LaunchSettingsDialog dialog(store, prompt);
        EXPECT_TRUE(direct(dialog)->isChecked());
        EXPECT_EQ(direct(dialog)->text(), "directly (hl.sh in the Half-Life folder)");
        steamButton(dialog)->click();
        auto* preview = findControl<QPlainTextEdit>(&dialog, LaunchSettingsDialog::kPreviewId);
        EXPECT_TRUE(preview->toPlainText().startsWith("steam -applaunch <APP ID> [-game"))
            << preview->toPlainText().toStdString();
        findControl<QPushButton>(&dialog, 1)->click();
    }
    EXPECT_EQ(store.readString(kSettings, "LaunchMethod", ""), "steam");
    LaunchSettingsDialog again(store, prompt);
    EXPECT_TRUE(steamButton(again)->isChecked());
    EXPECT_FALSE(direct(again)->isChecked());
    direct(again)->click();
    findControl<QPushButton>(&again, 1)->click();
    EXPECT_EQ(store.readString(kSettings, "LaunchMethod", ""), "direct");
}

TEST(LaunchSettingsDialog, CancelWritesNothing) {
    RecordingStore store;
    store.writeString(kSettings, "HLDir", "/games/hl");
    store.writeString(kSettings, "Parameters", "-gl -x");
    store.writeInt(kSettings, "ConnectionExit", 1);
    store.written.clear();
    test::FakeUiPrompt prompt;
    LaunchSettingsDialog dialog(store, prompt);
    EXPECT_TRUE(switchBox(dialog, "-gl")->isChecked());
    EXPECT_TRUE(findControl<QCheckBox>(&dialog, LaunchSettingsDialog::kQuitId)->isChecked());
    switchBox(dialog, "-gl")->click();
    edit(dialog, LaunchSettingsDialog::kAdditionalId)->setText("-y");
    edit(dialog, LaunchSettingsDialog::kDirectoryId)->setText("/elsewhere");
    findControl<QPushButton>(&dialog, 2)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(store.written.empty());
    EXPECT_EQ(store.readString(kSettings, "HLDir", ""), "/games/hl");
    EXPECT_EQ(store.readString(kSettings, "Parameters", ""), "-gl -x");
    EXPECT_EQ(store.readInt(kSettings, "ConnectionExit", 0), 1);
}

TEST(LaunchSettingsDialog, BrowseTakesTheDirectoryOfTheChosenFile) {
    test::FakeSettingsStore store;
    test::FakeUiPrompt prompt;
    LaunchSettingsDialog dialog(store, prompt);
    QLineEdit* directory = edit(dialog, LaunchSettingsDialog::kDirectoryId);
    directory->setText("/before");
    prompt.files = {std::string("/opt/hl/hl.sh"), std::nullopt, std::string("/x")};
    auto* browse = findControl<QPushButton>(&dialog, LaunchSettingsDialog::kBrowseId);
    browse->click();
    EXPECT_EQ(directory->text(), "/opt/hl");
    browse->click(); // cancelled
    EXPECT_EQ(directory->text(), "/opt/hl");
    browse->click(); // too short a directory
    EXPECT_EQ(directory->text(), "/opt/hl");
    ASSERT_EQ(prompt.fileFilters.size(), 3u);
    EXPECT_NE(prompt.fileFilters[0].find("*"), std::string::npos);
    // The dialog opens with the client's file name filled in, in the folder of the edit.
    const std::string client = clientProgramName();
    EXPECT_EQ(prompt.filePresets[0], "/before/" + client);
    EXPECT_EQ(prompt.filePresets[1], "/opt/hl/" + client);
    directory->clear();
    browse->click();
    EXPECT_EQ(prompt.filePresets[3], client);
}
