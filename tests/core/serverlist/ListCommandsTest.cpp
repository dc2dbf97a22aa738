#include "serverlist/ListCommands.h"
#include "serverlist/ListFiles.h"

#include "ListTestSupport.h"

#include <gtest/gtest.h>

using namespace ondel;
using namespace ondel::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes listBytes(const std::string& name, const std::vector<std::string>& hosts) {
    std::vector<ServerEntry> entries;
    for (const auto& h : hosts) {
        ServerEntry e;
        e.address = {h, 27015};
        entries.push_back(e);
    }
    Bytes out;
    EXPECT_TRUE(listfile::encode(name, entries, out));
    return out;
}

// A set as start-up builds it in tmp (custom list only, nothing on disk yet).
struct Fixture {
    TempDir tmp;
    ServerListSet set;
    FakePrompt prompt;
    Fixture() { loadAll(set, tmp.dir()); }
};

void expectOneStop(const FakePrompt& prompt, const std::string& text) {
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].title, "Ondel");
    EXPECT_EQ(prompt.messages[0].text, text);
    EXPECT_EQ(prompt.messages[0].buttons, Prompt::Buttons::Ok);
    EXPECT_EQ(prompt.messages[0].icon, Prompt::Icon::Stop);
}

} // namespace

TEST(OpenList, RefusesTheFileOfALoadedList) {
    Fixture f;
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.file("serverlist.sl06")), OpenListResult::InUse);
    expectOneStop(f.prompt, "Server list ia already in use!!!");
    EXPECT_EQ(f.set.size(), 1u);
}

TEST(OpenList, OlderVersionIsTargetedAtSl06UnlessThatFileExists) {
    Fixture f;
    writeBytes(f.tmp.file("clan.sl05"), listBytes("", {"1.1.1.1"}));
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.file("clan.sl05")), OpenListResult::Added);
    ASSERT_EQ(f.set.size(), 2u);
    EXPECT_EQ(f.set.at(1).filePath(), f.tmp.file("clan.sl06"));
    EXPECT_EQ(f.set.at(1).sourcePath(), f.tmp.file("clan.sl05"));
    EXPECT_EQ(f.set.at(1).size(), 1u);
    EXPECT_EQ(f.set.currentIndex(), 0u); // Open does not change the current list
    EXPECT_TRUE(f.prompt.messages.empty());

    Fixture g;
    writeBytes(g.tmp.file("clan.sl05"), listBytes("", {"1.1.1.1"}));
    Bytes existing = listBytes("Existing", {});
    writeBytes(g.tmp.file("clan.sl06"), existing);
    EXPECT_EQ(openList(g.set, g.prompt, g.tmp.file("clan.sl05")), OpenListResult::Added);
    EXPECT_EQ(g.set.at(1).filePath(), g.tmp.file("clan.sl05"));
    saveAll(g.set);
    EXPECT_EQ(readBytes(g.tmp.file("clan.sl06")), existing);
}

TEST(OpenList, RefusesWhenItsTargetIsAlreadyLoaded) {
    Fixture f;
    // clan.sl06 is loaded but not yet on disk; opening clan.sl04 would also write clan.sl06.
    f.set.append(ServerList(f.tmp.file("clan.sl06"), f.tmp.file("clan.sl05"), "Clan"));
    writeBytes(f.tmp.file("clan.sl04"), listBytes("", {}));
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.file("clan.sl04")), OpenListResult::InUse);
    expectOneStop(f.prompt, "Server list ia already in use!!!");
    EXPECT_EQ(f.set.size(), 2u);
}

TEST(OpenList, SameFileByAnotherPathIsInUse) {
    Fixture f;
    saveAll(f.set); // serverlist.sl06 on disk
    std::filesystem::create_symlink(f.tmp.file("serverlist.sl06"), f.tmp.file("link.sl06"));
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.file("link.sl06")), OpenListResult::InUse);
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.dir() + "./serverlist.sl06"), OpenListResult::InUse);
    EXPECT_EQ(f.prompt.messages.size(), 2u);
}

TEST(OpenList, AnyFileNameIsKeptAndUnreadableFilesAddNothing) {
    Fixture f;
    writeBytes(f.tmp.file("notes.txt"), listBytes("Notes", {}));
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.file("notes.txt")), OpenListResult::Added);
    EXPECT_EQ(f.set.at(1).filePath(), f.tmp.file("notes.txt"));
    EXPECT_EQ(f.set.at(1).name(), "Notes");

    Bytes broken = {6, 0, 0, 0, 40};
    writeBytes(f.tmp.file("broken.sl06"), broken);
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.file("broken.sl06")), OpenListResult::NotRead);
    EXPECT_EQ(openList(f.set, f.prompt, f.tmp.file("absent.sl06")), OpenListResult::NotRead);
    EXPECT_EQ(f.set.size(), 2u);
    EXPECT_TRUE(f.prompt.messages.empty());
    saveAll(f.set);
    EXPECT_EQ(readBytes(f.tmp.file("broken.sl06")), broken);
}

TEST(NewList, AddsAnEmptyListCreatedAtTheNextSave) {
    Fixture f;
    EXPECT_EQ(newListFileName("new"), "new.sl06");
    EXPECT_EQ(newList(f.set, f.prompt, f.tmp.dir(), "new", "Ondel server list"),
              NewListResult::Added);
    ASSERT_EQ(f.set.size(), 2u);
    EXPECT_EQ(f.set.at(1).filePath(), f.tmp.file("new.sl06"));
    EXPECT_EQ(f.set.at(1).name(), "Ondel server list");
    EXPECT_FALSE(exists(f.tmp.file("new.sl06")));
    saveAll(f.set);
    EXPECT_EQ(readBytes(f.tmp.file("new.sl06")), listBytes("Ondel server list", {}));

    // Empty texts are taken as they are.
    EXPECT_EQ(newList(f.set, f.prompt, f.tmp.dir(), "", ""), NewListResult::Added);
    EXPECT_EQ(f.set.at(2).filePath(), f.tmp.file(".sl06"));
    EXPECT_EQ(f.set.at(2).name(), "");
    EXPECT_TRUE(f.prompt.messages.empty());
}

TEST(NewList, RefusesAnExistingOrAlreadyClaimedFile) {
    Fixture f;
    writeBytes(f.tmp.file("new.sl06"), {1});
    EXPECT_EQ(newList(f.set, f.prompt, f.tmp.dir(), "new", "x"), NewListResult::Exists);
    expectOneStop(f.prompt, "The file 'new.sl06' already exists!!!");
    EXPECT_EQ(f.set.size(), 1u);
    EXPECT_EQ(readBytes(f.tmp.file("new.sl06")), Bytes{1});

    // Two New commands with one title before any save would give two lists one file.
    f.prompt.messages.clear();
    EXPECT_EQ(newList(f.set, f.prompt, f.tmp.dir(), "team", "A"), NewListResult::Added);
    EXPECT_EQ(newList(f.set, f.prompt, f.tmp.dir(), "team", "B"), NewListResult::Exists);
    expectOneStop(f.prompt, "The file 'team.sl06' already exists!!!");
    EXPECT_EQ(f.set.size(), 2u);
}

TEST(DeleteList, RefusesTheCustomList) {
    Fixture f;
    f.prompt.answers = {Prompt::Answer::Yes};
    EXPECT_FALSE(deleteList(f.set, f.prompt, 0));
    expectOneStop(f.prompt, "You cannot delete the custom server list!!!");
    EXPECT_EQ(f.set.size(), 1u);
    EXPECT_FALSE(exists(f.tmp.file("serverlist.sl06.deleted")));
}

TEST(DeleteList, NoKeepsEverything) {
    Fixture f;
    writeBytes(f.tmp.file("x.sl06"), listBytes("X", {}));
    loadAll(f.set, f.tmp.dir());
    f.set.setCurrentIndex(1);
    f.prompt.answers = {Prompt::Answer::No};
    EXPECT_FALSE(deleteList(f.set, f.prompt, 1));
    ASSERT_EQ(f.prompt.messages.size(), 1u);
    EXPECT_EQ(f.prompt.messages[0].text, "Do you really want to delete this server list \"X (" +
                                             f.tmp.file("x.sl06") + ")\"?");
    EXPECT_EQ(f.prompt.messages[0].buttons, Prompt::Buttons::YesNo);
    EXPECT_EQ(f.prompt.messages[0].icon, Prompt::Icon::Question);
    EXPECT_EQ(f.set.size(), 2u);
    EXPECT_EQ(f.set.currentIndex(), 1u);
    EXPECT_TRUE(exists(f.tmp.file("x.sl06")));
}

TEST(DeleteList, MovesTheFileAndItsOlderVersionsAsideOneGeneration) {
    Fixture f;
    writeBytes(f.tmp.file("x.sl06"), listBytes("X", {}));
    writeBytes(f.tmp.file("x.sl06.deleted"), {0xDE, 0xAD});
    Bytes x04 = listBytes("", {"4.4.4.4"});
    writeBytes(f.tmp.file("x.sl04"), x04);
    writeBytes(f.tmp.file("x.sl04.deleted"), {0xBE, 0xEF});
    writeBytes(f.tmp.file("y.sl06"), listBytes("Y", {}));
    loadAll(f.set, f.tmp.dir());
    ASSERT_EQ(f.set.size(), 3u);
    ASSERT_EQ(f.set.at(1).name(), "X");
    // An edit made this run reaches the .deleted file.
    ServerEntry e;
    e.address = {"9.9.9.9", 1};
    f.set.at(1).storeEntry(e);
    f.set.setCurrentIndex(1);

    f.prompt.answers = {Prompt::Answer::Yes};
    EXPECT_TRUE(deleteList(f.set, f.prompt, 1));
    ListFileRead deleted = readListFile(f.tmp.file("x.sl06.deleted"));
    ASSERT_EQ(deleted.status, ListFileStatus::Read);
    EXPECT_EQ(deleted.contents.name, std::optional<std::string>("X"));
    ASSERT_EQ(deleted.contents.entries.size(), 1u);
    EXPECT_EQ(deleted.contents.entries[0].address, (ServerAddress{"9.9.9.9", 1}));
    EXPECT_EQ(readBytes(f.tmp.file("x.sl04.deleted")), x04);
    EXPECT_FALSE(exists(f.tmp.file("x.sl06")));
    EXPECT_FALSE(exists(f.tmp.file("x.sl04")));
    EXPECT_TRUE(exists(f.tmp.file("y.sl06")));
    ASSERT_EQ(f.set.size(), 2u);
    EXPECT_EQ(f.set.at(1).name(), "Y");
    EXPECT_EQ(f.set.currentIndex(), 0u);

    // The next start finds no version of the deleted list.
    loadAll(f.set, f.tmp.dir());
    EXPECT_EQ(f.set.size(), 2u);
}

TEST(DeleteList, ListWithoutVersionSuffixAndUnwritableFile) {
    Fixture f;
    writeBytes(f.tmp.file("notes.txt"), listBytes("Notes", {}));
    writeBytes(f.tmp.file("notes.sl05"), {5}); // not a version of notes.txt: untouched
    ASSERT_EQ(openList(f.set, f.prompt, f.tmp.file("notes.txt")), OpenListResult::Added);
    f.prompt.answers = {Prompt::Answer::Yes};
    EXPECT_TRUE(deleteList(f.set, f.prompt, 1));
    EXPECT_EQ(readBytes(f.tmp.file("notes.txt.deleted")), listBytes("Notes", {}));
    EXPECT_TRUE(exists(f.tmp.file("notes.sl05")));

    // A list whose file cannot be written (its directory is gone) is still taken out, and an
    // older .deleted generation is not thrown away for nothing.
    f.set.append(ServerList(f.tmp.file("gone/z.sl06"), "", "Z"));
    f.prompt.answers = {Prompt::Answer::Yes};
    EXPECT_TRUE(deleteList(f.set, f.prompt, 1));
    EXPECT_EQ(f.set.size(), 1u);
    EXPECT_TRUE(exists(f.tmp.file("notes.txt.deleted")));
}

TEST(RenameList, ChangesOnlyTheNameUntilTheNextSave) {
    Fixture f;
    saveAll(f.set);
    Bytes before = readBytes(f.tmp.file("serverlist.sl06"));
    EXPECT_TRUE(renameList(f.set, 0, "Team"));
    EXPECT_EQ(f.set.at(0).name(), "Team");
    EXPECT_EQ(readBytes(f.tmp.file("serverlist.sl06")), before);
    EXPECT_FALSE(renameList(f.set, 5, "Nope"));

    saveAll(f.set);
    ServerListSet next;
    loadAll(next, f.tmp.dir());
    EXPECT_EQ(next.at(0).name(), "Team");
}
