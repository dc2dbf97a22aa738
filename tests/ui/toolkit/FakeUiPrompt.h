#pragma once

#include "../../core/fakes/FakePrompt.h"
#include "ui/toolkit/UiPrompt.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ondel::test {

// Answers every question of the windows without showing anything, and records what was asked.
class FakeUiPrompt : public RecordingPrompt<UiPrompt> {
public:
    std::optional<std::string> chooseOpenFile(const QString&, const QString& filter,
                                              const QString& preset) override {
        fileFilters.push_back(filter.toStdString());
        filePresets.push_back(preset.toStdString());
        if (files.empty())
            return std::nullopt;
        std::optional<std::string> f = files.front();
        files.pop_front();
        return f;
    }

    int execDialog(QDialog& dialog) override {
        ++dialogsRun;
        if (dialogHandler)
            return dialogHandler(dialog);
        return QDialog::Rejected;
    }

    std::deque<std::optional<std::string>> files; // nullopt: Cancel
    std::vector<std::string> fileFilters;
    std::vector<std::string> filePresets;
    std::function<int(QDialog&)> dialogHandler;
    int dialogsRun = 0;
};

} // namespace ondel::test
