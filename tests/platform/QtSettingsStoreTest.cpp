#include "platform/QtSettingsStore.h"

#include "settings/SettingsKeys.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace ondel;

namespace {

// Points ONDEL_SETTINGS at a fresh file for one test and restores the environment after.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_saved = qgetenv("ONDEL_SETTINGS");
        m_had = qEnvironmentVariableIsSet("ONDEL_SETTINGS");
        m_file = m_dir.filePath(QStringLiteral("Ondel.conf"));
        qputenv("ONDEL_SETTINGS", m_file.toUtf8());
    }
    void TearDown() override {
        if (m_had)
            qputenv("ONDEL_SETTINGS", m_saved);
        else
            qunsetenv("ONDEL_SETTINGS");
    }
    QByteArray fileText() const {
        QFile f(m_file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_file;
    QByteArray m_saved;
    bool m_had = false;
};

} // namespace

TEST_F(SettingsFileTest, FirstRunReadsEveryDefault) {
    QtSettingsStore store;
    EXPECT_EQ(store.iniFile(), m_file);
    EXPECT_EQ(settings::read(store, settings::kParameters), "-console");
    EXPECT_EQ(settings::read(store, settings::kHlDir), "");
    EXPECT_EQ(settings::read(store, settings::kConnectionExit), 0);
    EXPECT_EQ(settings::read(store, settings::kServerListSortType), 0);
    EXPECT_EQ(settings::read(store, settings::kMasterId), 0);
    EXPECT_EQ(store.readString("Settings", "Nothing"), "");
}

TEST_F(SettingsFileTest, ValuesAreWrittenAtOnceUnderTheirGroups) {
    QtSettingsStore writer;
    EXPECT_TRUE(settings::write(writer, settings::kHlDir, "/games/Half-Life"));
    EXPECT_TRUE(settings::write(writer, settings::kConnectionExit, 1));
    EXPECT_TRUE(writer.writeInt("Master Server", settings::messageValueName(7), 1));
    EXPECT_TRUE(settings::write(writer, settings::kMasterId, -123456));

    // A second store (as the worker thread has) sees the values without any cache in between.
    QtSettingsStore reader;
    EXPECT_EQ(settings::read(reader, settings::kHlDir), "/games/Half-Life");
    EXPECT_EQ(settings::read(reader, settings::kConnectionExit), 1);
    EXPECT_EQ(settings::read(reader, settings::kMasterId), -123456);
    EXPECT_TRUE(settings::isMessageHidden(reader, 7));

    QByteArray text = fileText();
    EXPECT_TRUE(text.contains("[Settings]")) << text.constData();
    EXPECT_TRUE(text.contains("HLDir=/games/Half-Life")) << text.constData();
    EXPECT_TRUE(text.contains("[Master%20Server]")) << text.constData();
    EXPECT_TRUE(text.contains("MSG00007=1")) << text.constData();
}

TEST_F(SettingsFileTest, IntegersKeepEveryValueAndTextsAreNotIntegers) {
    QtSettingsStore store;
    for (std::int32_t v : {0, 1, -1, INT32_MAX, INT32_MIN}) {
        ASSERT_TRUE(store.writeInt("Settings", "N", v));
        EXPECT_EQ(store.readInt("Settings", "N", 77), v);
    }
    struct Case {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"42", 42}, {"-5", -5}, {"abcd", 77}, {"12abc", 77}, {"", 77}, {"99999999999", 77},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.writeString("Settings", "T", c.text));
        EXPECT_EQ(store.readInt("Settings", "T", 77), c.expected) << c.text;
    }
}

TEST_F(SettingsFileTest, TextsUpTo1023BytesReadBack) {
    QtSettingsStore store;
    std::string longest(1023, 'x');
    ASSERT_TRUE(store.writeString("Settings", "Parameters", longest));
    EXPECT_EQ(store.readString("Settings", "Parameters", "-console"), longest);
    ASSERT_TRUE(store.writeString("Settings", "Parameters", longest + "y"));
    EXPECT_EQ(store.readString("Settings", "Parameters", "-console"), "-console");
    // The limit counts bytes, not characters.
    std::string wide;
    for (int i = 0; i < 512; ++i)
        wide += "\xC3\xA9"; // 1024 bytes of UTF-8
    ASSERT_TRUE(store.writeString("Settings", "Parameters", wide));
    EXPECT_EQ(store.readString("Settings", "Parameters", "d"), "d");
}

TEST_F(SettingsFileTest, TextsAreKeptByteForByte) {
    QtSettingsStore store;
    const std::string texts[] = {
        "caf\xC3\xA9 \xE2\x82\xAC",    // UTF-8
        "\xE9t\xE9 \x80\xFF",          // not UTF-8 (typed in another code page)
        "-game cstrike, +connect a:1", // a comma must not split it into a list
        "@ByteArray(x)",               // looks like QSettings' own notation
        "  leading and trailing  ",
        "quote \" and back\\slash ; # =",
    };
    for (const auto& t : texts) {
        ASSERT_TRUE(store.writeString("Settings", "HLDir", t));
        QtSettingsStore other;
        EXPECT_EQ(other.readString("Settings", "HLDir"), t);
    }
    ASSERT_TRUE(store.writeString("Settings", "HLDir", std::string("ab\0cd", 5)));
    EXPECT_EQ(store.readString("Settings", "HLDir"), "ab"); // a text ends at a zero byte
}

TEST_F(SettingsFileTest, StoreThatCannotBeOpenedReportsWritesAndGivesDefaults) {
    // A path below a regular file can be created by nobody, not even the superuser.
    QFile blocker(m_dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QtSettingsStore store(m_dir.filePath(QStringLiteral("plain/sub/Ondel.conf")));
    EXPECT_FALSE(store.writeInt("Settings", "ConnectionExit", 1));
    EXPECT_FALSE(store.writeString("Settings", "HLDir", "x"));
    EXPECT_EQ(store.readInt("Settings", "ConnectionExit", 5), 5);
    EXPECT_EQ(store.readString("Settings", "Parameters", "-console"), "-console");
}

TEST_F(SettingsFileTest, DefaultLocationFollowsXdgConfigHome) {
    qunsetenv("ONDEL_SETTINGS");
    QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    bool hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    QString config = m_dir.filePath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    {
        QtSettingsStore store;
        EXPECT_EQ(store.iniFile(), config + QStringLiteral("/Ondel/Ondel.conf"));
        EXPECT_TRUE(store.writeInt("Settings", "ServerListSortType", 3));
        EXPECT_TRUE(QFile::exists(config + QStringLiteral("/Ondel/Ondel.conf")));
    }
    if (hadXdg)
        qputenv("XDG_CONFIG_HOME", savedXdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsFileTest, TwoThreadsAtOnce) {
    QtSettingsStore store;
    auto work = [&](const std::string& subkey, int base, bool& ok) {
        ok = true;
        for (int i = 0; i < 100; ++i) {
            std::string name = "V" + std::to_string(i % 10);
            ok = store.writeInt(subkey, name, base + i) && ok;
            ok = store.readInt(subkey, name, -1) == base + i && ok;
        }
    };
    bool okA = false;
    bool okB = false;
    std::thread a(work, "Settings", 1000, std::ref(okA));
    std::thread b(work, "Master Server", 5000, std::ref(okB));
    a.join();
    b.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    QtSettingsStore after;
    EXPECT_EQ(after.readInt("Settings", "V9", -1), 1099);
    EXPECT_EQ(after.readInt("Master Server", "V9", -1), 5099);
}

TEST_F(SettingsFileTest, TheFileHoldingTheApiKeyIsTheUsersOnly) {
    namespace fs = std::filesystem;
    const auto owner = fs::perms::owner_read | fs::perms::owner_write;
    auto mode = [&] { return fs::status(m_file.toStdString()).permissions(); };
    QtSettingsStore store;
    ASSERT_TRUE(settings::write(store, settings::kSteamApiKey, "C0FFEE"));
    EXPECT_EQ(mode(), owner);
    // A file that others could read is made private again at the next write.
    fs::permissions(m_file.toStdString(), owner | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(settings::write(store, settings::kConnectionExit, 1));
    EXPECT_EQ(mode(), owner);
    EXPECT_EQ(settings::read(store, settings::kSteamApiKey), "C0FFEE");
}
