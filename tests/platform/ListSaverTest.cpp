// Lists written as they change: by the saver, through a writer thread.
#include "platform/ListSaver.h"
#include "PlatformTestSupport.h"
#include "platform/posix/DataFolderLock.h"
#include "serverlist/ListFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

using namespace ondel;
using ondel::test::app;
using ondel::test::waitFor;

namespace {

ServerEntry entry(const std::string& host, const std::string& comment = {}) {
    ServerEntry e;
    e.address = {host, 27015};
    e.comment = comment;
    return e;
}

// The entries of the list file at path, or none when it cannot be read.
std::vector<ServerEntry> onDisk(const std::string& path) {
    ListFileRead read = readListFile(path);
    return read.status == ListFileStatus::Read ? read.contents.entries : std::vector<ServerEntry>{};
}

class ListSaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(m_dir.isValid());
    }
    std::string file(const char* name) const { return m_dir.filePath(name).toStdString(); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ListSaverTest, ChangesReachTheFileWithoutAnExplicitSave) {
    ServerListSet lists;
    lists.append(ServerList(file("serverlist.sl06"), file("serverlist.sl06"), "custom"));
    ListSaver saver(lists);
    lists.at(0).storeEntry(entry("10.0.0.1"));
    lists.at(0).storeEntry(entry("10.0.0.2", "typed"));
    ASSERT_TRUE(waitFor([&] { return onDisk(file("serverlist.sl06")).size() == 2; }, 5000));
    EXPECT_EQ(onDisk(file("serverlist.sl06")).front().comment, "typed");

    // A list made is written too, and a list deleted is never written again.
    ServerList& made = lists.append(ServerList(file("new.sl06"), file("new.sl06"), "made"));
    made.storeEntry(entry("10.0.0.3"));
    ASSERT_TRUE(waitFor([&] { return onDisk(file("new.sl06")).size() == 1; }, 5000));
    lists.at(1).storeEntry(entry("10.0.0.4"));
    lists.removeAt(1);
    std::filesystem::remove(file("new.sl06"));
    EXPECT_EQ(saver.flush(), 0);
    EXPECT_FALSE(std::filesystem::exists(file("new.sl06")));
}

TEST_F(ListSaverTest, AFailedWriteIsToldOnceAndTriedAgainWithTheDataKept) {
    ServerListSet lists;
    const std::string path = file("later/serverlist.sl06"); // its folder does not exist yet
    lists.append(ServerList(path, path, "custom"));
    ListSaver saver(lists);
    int failed = 0;
    int recovered = 0;
    QObject::connect(&saver, &ListSaver::writeFailed, [&] { ++failed; });
    QObject::connect(&saver, &ListSaver::writeRecovered, [&] { ++recovered; });
    lists.at(0).storeEntry(entry("10.0.0.1"));
    EXPECT_EQ(saver.flush(), 1);
    lists.at(0).storeEntry(entry("10.0.0.2"));
    EXPECT_EQ(saver.flush(), 1);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(saver.pendingCount(), 1u);

    ASSERT_TRUE(std::filesystem::create_directory(file("later")));
    // No further change: the retry alone writes what is in memory.
    ASSERT_TRUE(waitFor([&] { return onDisk(path).size() == 2; }, ListSaver::kRetryMs + 5000));
    ASSERT_TRUE(waitFor([&] { return recovered == 1; }, 2000));
    EXPECT_EQ(failed, 1);
}

TEST(DataFolderLock, OneHolderAtATimeAndFreeOnceLetGo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    {
        DataFolderLock first(folder);
        ASSERT_EQ(first.state(), DataFolderLock::State::Held);
        DataFolderLock second(folder + "/");
        EXPECT_EQ(second.state(), DataFolderLock::State::HeldByOther);
    }
    DataFolderLock again(folder);
    EXPECT_EQ(again.state(), DataFolderLock::State::Held);
    EXPECT_EQ(DataFolderLock(folder + "/missing").state(), DataFolderLock::State::Unavailable);
}
