#pragma once

#include "settings/SettingsStore.h"

#include <QString>

namespace ondel {

// The settings store on QSettings. On Linux (and wherever there is no registry) an INI file,
// $XDG_CONFIG_HOME/Ondel/Ondel.conf by default, with one group per subkey ("Settings",
// "Master Server"); on Windows the registry key HKEY_CURRENT_USER\Software\Ondel. The
// environment variable ONDEL_SETTINGS=<file> points the store at that INI file instead (tests
// never touch the user's settings).
//
// Every operation opens its own QSettings and closes it again (writing the file at once), so
// the GUI thread and the master session's worker may call it at the same time.
// Texts are kept byte for byte: valid UTF-8 is stored as text, other bytes as a byte array.
class QtSettingsStore : public SettingsStore {
public:
    // The location from ONDEL_SETTINGS, else the platform's default.
    QtSettingsStore();
    // An explicit INI file.
    explicit QtSettingsStore(QString iniFile);

    // The INI file in use; empty when the native registry is used.
    const QString& iniFile() const { return m_iniFile; }
    // $XDG_CONFIG_HOME/Ondel/Ondel.conf (or the platform's configuration directory).
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
