#pragma once

#include "settings/SettingsStore.h"

#include <QString>

namespace ondel {

// The settings store on QSettings: an INI file, $XDG_CONFIG_HOME/Ondel/Ondel.conf by default
// (settingsFilePath(), which ondel-cli reads too), with one group per subkey ("Settings",
// "Master Server"). The environment variable ONDEL_SETTINGS=<file> points the store at that INI
// file instead (tests never touch the user's settings).
//
// Every operation opens its own QSettings and closes it again (writing the file at once), so
// the GUI thread and the master session's worker may call it at the same time.
// Texts are kept byte for byte: valid UTF-8 is stored as text, other bytes as a byte array.
class QtSettingsStore : public SettingsStore {
public:
    // The location from ONDEL_SETTINGS, else the default.
    QtSettingsStore();
    // An explicit INI file.
    explicit QtSettingsStore(QString iniFile);

    // The INI file in use; empty without a home folder (nothing is then kept).
    const QString& iniFile() const { return m_iniFile; }
    // $XDG_CONFIG_HOME/Ondel/Ondel.conf, else ~/.config/Ondel/Ondel.conf.
    static QString defaultIniFile();

    std::int32_t readInt(const std::string& subkey, const std::string& name,
                         std::int32_t def) const override;
    std::string readString(const std::string& subkey, const std::string& name,
                           const std::string& def = {}) const override;
    bool writeInt(const std::string& subkey, const std::string& name, std::int32_t value) override;
    bool writeString(const std::string& subkey, const std::string& name,
                     const std::string& value) override;

private:
    QString m_iniFile;
};

} // namespace ondel
