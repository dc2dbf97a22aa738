#include "QtSettingsStore.h"

#include "common/Text.h"
#include "settings/UserPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace ondel {

namespace {

// Texts read back are at most 1023 bytes (1024 with the terminator the store always allowed).
constexpr qsizetype kMaxTextBytes = 1023;

QString toQt(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Opens the store positioned in the subkey's group (the root when the subkey is empty); null
// without a file (no home folder), where every value reads as its default and nothing is kept.
std::unique_ptr<QSettings> openStore(const QString& iniFile, const std::string& subkey) {
    if (iniFile.isEmpty())
        return nullptr;
    auto settings = std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
    if (!subkey.empty())
        settings->beginGroup(toQt(subkey));
    return settings;
}

// The settings hold the user's Steam Web API key: the INI file is made, and kept, readable and
// writable by the user only. QSettings replaces the file with one of the default mode, so the
// mode is set again after every write; a folder made here is the user's only, so the file is
// never open to others in between.
void keepPrivate(const QString& iniFile) {
    if (iniFile.isEmpty())
        return;
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFileInfo info(iniFile);
    QDir folder = info.absoluteDir();
    if (!folder.exists() && QDir().mkpath(folder.absolutePath()))
        QFile::setPermissions(folder.absolutePath(), owner | QFileDevice::ExeOwner);
    QFile file(iniFile);
    if (!file.exists() && file.open(QIODevice::WriteOnly | QIODevice::NewOnly, owner))
        file.close();
    if (file.exists() &&
        (file.permissions() & ~(owner | QFileDevice::ReadUser | QFileDevice::WriteUser)) != 0)
        file.setPermissions(owner);
}

bool usable(const std::unique_ptr<QSettings>& settings) {
    return settings && settings->status() != QSettings::AccessError;
}

} // namespace

QtSettingsStore::QtSettingsStore() : m_iniFile(QString::fromStdString(settingsFilePath())) {}

QtSettingsStore::QtSettingsStore(QString iniFile) : m_iniFile(std::move(iniFile)) {}

QString QtSettingsStore::defaultIniFile() {
    return QString::fromStdString(
        settingsFilePath(nullptr, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
}

std::int32_t QtSettingsStore::readInt(const std::string& subkey, const std::string& name,
                                      std::int32_t def) const {
    auto settings = openStore(m_iniFile, subkey);
    if (!usable(settings))
        return def;
    QVariant v = settings->value(toQt(name));
    if (!v.isValid())
        return def;
    switch (v.typeId()) {
    case QMetaType::Int:
        return v.toInt();
    case QMetaType::QString: {
        // The INI file keeps integers as decimal text; any other text is not an integer.
        bool ok = false;
        int value = v.toString().toInt(&ok, 10);
        return ok ? value : def;
    }
    default: {
        // A value the file gives as another type (a typed @Variant) is an integer when it fits.
        bool ok = false;
        qlonglong wide = v.toLongLong(&ok);
        if (!ok || v.typeId() == QMetaType::QByteArray || wide < INT32_MIN || wide > INT32_MAX)
            return def;
        return static_cast<std::int32_t>(wide);
    }
    }
}

std::string QtSettingsStore::readString(const std::string& subkey, const std::string& name,
                                        const std::string& def) const {
    auto settings = openStore(m_iniFile, subkey);
    if (!usable(settings))
        return def;
    QVariant v = settings->value(toQt(name));
    if (!v.isValid())
        return def;
    QByteArray bytes;
    if (v.typeId() == QMetaType::QByteArray)
        bytes = v.toByteArray();
    else if (v.typeId() == QMetaType::QStringList)
        bytes = v.toStringList().join(QStringLiteral(", ")).toUtf8(); // an unquoted comma
    else
        bytes = v.toString().toUtf8();
    if (bytes.size() > kMaxTextBytes)
        return def;
    // A text ends at its first zero byte, as the store's texts always have.
    qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return bytes.toStdString();
}

bool QtSettingsStore::writeInt(const std::string& subkey, const std::string& name,
                               std::int32_t value) {
    keepPrivate(m_iniFile);
    auto settings = openStore(m_iniFile, subkey);
    if (!usable(settings) || !settings->isWritable())
        return false;
    settings->setValue(toQt(name), static_cast<int>(value));
    settings->sync(); // a failure to write is not reported
    keepPrivate(m_iniFile);
    return true;
}

bool QtSettingsStore::writeString(const std::string& subkey, const std::string& name,
                                  const std::string& value) {
    auto settings = openStore(m_iniFile, subkey);
    if (!usable(settings) || !settings->isWritable())
        return false;
    if (text::isValidUtf8(value))
        settings->setValue(toQt(name), toQt(value));
    else
        settings->setValue(toQt(name),
                           QByteArray(value.data(), static_cast<qsizetype>(value.size())));
    settings->sync();
    keepPrivate(m_iniFile);
    return true;
}

} // namespace ondel
