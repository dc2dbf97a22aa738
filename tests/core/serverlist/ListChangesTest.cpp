// Lists told as they change, and the bytes a writer keeps between saves of a changing list.
#include "../fakes/FakePrompt.h"
#include "ListTestSupport.h"
#include "common/AtomicFile.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ListEncodingCache.h"
#include "serverlist/ListFileFormat.h"
#include "serverlist/ListFiles.h"
#include "serverlist/ServerListSet.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

using namespace ondel;
using namespace ondel::test;

namespace {

ServerEntry entry(const std::string& host, const std::string& comment = {}) {
    ServerEntry e;
    e.address = {host, 27015};
    e.comment = comment;
    return e;
}

std::vector<std::uint8_t> encoded(const ServerList& list) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(listfile::encode(list.name(), list.entries(), bytes));
    return bytes;
}

} // namespace

// After every kind of change the kept bytes make the same file as a fresh encoding: a stale
// entry would write old data over the user's edit.
TEST(ListEncodingCache, EveryChangeGivesTheFileAFreshEncodingGives) {
    const std::vector<std::pair<const char*, std::function<void(ServerList&)>>> steps = {
        {"store a known server", [](ServerList& l) { l.storeEntry(entry("1.0.0.3", "edited")); }},
        {"store a new server", [](ServerList& l) { l.storeEntry(entry("1.0.0.9", "new")); }},
        {"remove", [](ServerList& l) { l.removeAt(2); }},
        {"append", [](ServerList& l) { l.appendEntry(entry("1.0.0.8")); }},
        {"edit in place, told",
         [](ServerList& l) {
             l.entries()[1].password = "secret";
             l.entries()[1].savePassword = true;
             l.entryChanged(1);
         }},
        {"rename", [](ServerList& l) { l.setName("Renamed"); }},
        {"added through entries() untold",
         [](ServerList& l) { l.entries().insert(l.entries().begin(), entry("1.0.0.7")); }},
        {"edit in place, told in bulk",
         [](ServerList& l) {
             for (auto& e : l.entries())
                 e.map = "crossfire";
             l.markChanged();
         }},
    };
    ServerList list("x.sl06", "x.sl06", "List");
    for (const char* host : {"1.0.0.1", "1.0.0.2", "1.0.0.3", "1.0.0.4"})
        list.appendEntry(entry(host));
    ListEncodingCache cache;
    ListEncodingCache::Pieces pieces;
    ASSERT_TRUE(cache.encode(list, pieces));
    for (const auto& [what, change] : steps) {
        SCOPED_TRACE(what);
        change(list);
        ASSERT_TRUE(cache.encode(list, pieces));
        EXPECT_EQ(pieces.join(), encoded(list));
    }
}

TEST(ListEncodingCache, UnchangedEntriesKeepTheirBytes) {
    ServerList list("x.sl06", "x.sl06", "List");
    for (const char* host : {"1.0.0.1", "1.0.0.2", "1.0.0.3"})
        list.appendEntry(entry(host));
    ListEncodingCache cache;
    ListEncodingCache::Pieces before;
    ASSERT_TRUE(cache.encode(list, before));
    list.storeEntry(entry("1.0.0.3", "edited")); // to the front; the others move down
    ListEncodingCache::Pieces after;
    ASSERT_TRUE(cache.encode(list, after));
    EXPECT_NE(after.entries[0], before.entries[2]);
    EXPECT_EQ(after.entries[1], before.entries[0]);
    EXPECT_EQ(after.entries[2], before.entries[1]);
}

TEST(ServerListSet, TellsEveryChangeOfItsListsAndNothingOfCopies) {
    ServerListSet set;
    std::vector<std::pair<std::string, ListChange>> told;
    set.setChangeListener(
        [&](const ServerList& list, ListChange change) { told.emplace_back(list.name(), change); });
    set.append(ServerList("a", "a", "custom"));
    ServerList& other = set.append(ServerList("b", "b", "other"));
    other.storeEntry(entry("1.0.0.1"));
    other.setName("renamed");
    ServerList copy = other;
    copy.storeEntry(entry("1.0.0.2"));
    copy.setName("copy");
    set.removeAt(1);
    EXPECT_EQ(told, (std::vector<std::pair<std::string, ListChange>>{
                        {"custom", ListChange::Added},
                        {"other", ListChange::Added},
                        {"other", ListChange::Changed},
                        {"renamed", ListChange::Changed},
                        {"renamed", ListChange::Removed},
                    }));
}

// Whoever writes lists as they change is told of the removal while the list's file is still in
// place: a write that lands after the file was moved aside would bring the list back.
TEST(ListCommands, DeleteTellsTheRemovalBeforeTheFilesAreMoved) {
    TempDir tmp;
    ServerListSet set;
    set.append(ServerList(tmp.file("serverlist.sl06"), tmp.file("serverlist.sl06"), "custom"));
    set.append(ServerList(tmp.file("x.sl06"), tmp.file("x.sl06"), "x"));
    ASSERT_TRUE(writeList(set.at(1), tmp.file("x.sl06")));
    bool fileThereWhenTold = false;
    set.setChangeListener([&](const ServerList&, ListChange change) {
        if (change == ListChange::Removed)
            fileThereWhenTold = exists(tmp.file("x.sl06"));
    });
    test::FakePrompt prompt;
    prompt.answers = {Prompt::Answer::Yes};
    ASSERT_TRUE(deleteList(set, prompt, 1));
    EXPECT_TRUE(fileThereWhenTold);
    EXPECT_FALSE(exists(tmp.file("x.sl06")));
    EXPECT_TRUE(exists(tmp.file("x.sl06.deleted")));
}

TEST(ListCommands, FirstFreeTitleSkipsFilesAndLoadedLists) {
    TempDir tmp;
    ServerListSet set;
    set.append(ServerList(tmp.file("serverlist.sl06"), tmp.file("serverlist.sl06"), "custom"));
    EXPECT_EQ(firstFreeListTitle(set, tmp.dir(), "found"), "found");
    writeBytes(tmp.file("found.sl06"), {});
    EXPECT_EQ(firstFreeListTitle(set, tmp.dir(), "found"), "found 2");
    // A list made but not written yet holds its name too.
    set.append(ServerList(tmp.file("found 2.sl06"), tmp.file("found 2.sl06"), "found 2"));
    EXPECT_EQ(firstFreeListTitle(set, tmp.dir(), "found"), "found 3");
    EXPECT_TRUE(newListFileTaken(set, tmp.dir(), "found 2"));
}

TEST(ListFiles, StartNamesEveryUnreadableFileAndWhatWasDone) {
    TempDir tmp;
    writeBytes(tmp.file("serverlist.sl06"), {6, 0, 0, 0, 3, 'a'}); // ends inside the name
    writeBytes(tmp.file("clan.sl06"), {9, 0, 0, 0, 0}); // an unknown version, its name empty
    writeBytes(tmp.file("good.sl06"), encoded(ServerList("", "", "Good")));
    ServerListSet set;
    const std::vector<ListLoadProblem> problems = loadAll(set, tmp.dir());
    ASSERT_EQ(problems.size(), 2u);
    const std::string text = describeLoadProblems(problems);
    EXPECT_NE(text.find("'" + tmp.file("serverlist.sl06") + "'"), std::string::npos) << text;
    EXPECT_NE(text.find("renamed to '" + tmp.file("serverlist.sl06.unreadable") + "'"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("'" + tmp.file("clan.sl06") + "' has the unknown format version 9"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("left out; the file is kept"), std::string::npos) << text;
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE(describeLoadProblems({}).empty());
}

TEST(AtomicFile, AListBehindASymbolicLinkIsWrittenThroughItAndTheLinkStays) {
    TempDir tmp;
    std::filesystem::create_directory(tmp.file("elsewhere"));
    writeBytes(tmp.file("elsewhere/real.sl06"), {1, 2, 3});
    std::filesystem::create_symlink("elsewhere/real.sl06", tmp.file("hop.sl06"));
    std::filesystem::create_symlink(tmp.file("hop.sl06"), tmp.file("mine.sl06"));
    ASSERT_TRUE(writeFileAtomically(tmp.file("mine.sl06"), std::vector<std::uint8_t>{4, 5}));
    EXPECT_TRUE(std::filesystem::is_symlink(tmp.file("mine.sl06")));
    EXPECT_TRUE(std::filesystem::is_symlink(tmp.file("hop.sl06")));
    EXPECT_EQ(readBytes(tmp.file("elsewhere/real.sl06")), (std::vector<std::uint8_t>{4, 5}));
    // No temporary file beside the link or the target.
    EXPECT_EQ(fileNames(tmp.dir()),
              (std::vector<std::string>{"elsewhere", "hop.sl06", "mine.sl06"}));
    EXPECT_EQ(fileNames(tmp.file("elsewhere")), std::vector<std::string>{"real.sl06"});
    // A loop of links is refused, and nothing is made.
    std::filesystem::create_symlink(tmp.file("loop.sl06"), tmp.file("loop.sl06"));
    EXPECT_FALSE(writeFileAtomically(tmp.file("loop.sl06"), std::vector<std::uint8_t>{1}));
}
