#include "serverlist/ListFiles.h"

#include "ListTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ondel;
using namespace ondel::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

ServerEntry server(const std::string& host, int port, const std::string& name = "") {
    ServerEntry e;
    e.address = {host, port};
    e.hostName = name;
    return e;
}

// A version-5 file (no name) holding the given hosts on port 27015.
Bytes v5File(const std::vector<std::string>& hosts) {
    ByteWriter w;
    w.i32(5);
    w.u16(static_cast<std::uint16_t>(hosts.size()));
    for (const auto& h : hosts) {
        shortText(w, h);
        w.i32(27015);
        shortText(w, "name of " + h);
        w.i32(0);
        w.i32(0);
        shortText(w, "");           // comment
        w.i32(0);                   // lastPing
        w.f32(0);                   // averagePing
        for (int i = 0; i < 3; ++i) // map, gameDir, gameDescription
            shortText(w, "");
        w.i32(0);
        for (int i = 0; i < 7; ++i)
            w.u8(0);
        w.i32(-1);
        w.i64(0);
        w.i32(0);
        w.i32(0); // no rules
        for (int i = 0; i < 4; ++i)
            w.i32(0);
        shortText(w, "");
        for (int i = 0; i < 3; ++i)
            w.i64(0);
        w.u16(0); // no players
    }
    return w.take();
}

Bytes v6File(const std::string& name, const std::vector<ServerEntry>& entries) {
    Bytes out;
    EXPECT_TRUE(listfile::encode(name, entries, out));
    return out;
}

std::vector<std::string> listNames(const ServerListSet& set) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < set.size(); ++i)
        names.push_back(set.at(i).name());
    return names;
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

} // namespace

TEST(ListFiles, FileVersionOfAndWithFileVersion) {
    struct Case {
        const char* path;
        int version;
    } cases[] = {
        {"a.sl06", 6},     {"/d/a.SL05", 5}, {"a.Sl00", 0}, {"a.sL99", 99}, {".sl06", 6},
        {"x.tar.sl03", 3}, {"sl06", -1},     {"a.sl6", -1}, {"a.sx06", -1}, {"a.sl0a", -1},
        {"a_sl06", -1},    {"a.sl06 ", -1},  {"", -1},      {"a.s106", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fileVersionOf(c.path), c.version) << c.path;

    std::string p = "/d/a.SL05";
    EXPECT_TRUE(withFileVersion(p, 6));
    EXPECT_EQ(p, "/d/a.SL06");
    EXPECT_TRUE(withFileVersion(p, 0));
    EXPECT_EQ(p, "/d/a.SL00");
    EXPECT_TRUE(withFileVersion(p, 42));
    EXPECT_EQ(p, "/d/a.SL42");
    for (int bad : {-1, 100}) {
        std::string q = "a.sl06";
        EXPECT_FALSE(withFileVersion(q, bad));
        EXPECT_EQ(q, "a.sl06");
    }
    std::string notes = "notes.txt";
    EXPECT_FALSE(withFileVersion(notes, 6));
    EXPECT_EQ(notes, "notes.txt");
}

TEST(ListFiles, NoFilesGiveOneEmptyCustomListWrittenAtSave) {
    TempDir tmp;
    ServerListSet set;
    loadAll(set, tmp.dir());
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set.at(0).name(), "Custom server list");
    EXPECT_EQ(set.at(0).filePath(), tmp.file("serverlist.sl06"));
    EXPECT_EQ(set.currentIndex(), 0u);
    EXPECT_TRUE(fileNames(tmp.dir()).empty()); // nothing is written before the save

    EXPECT_EQ(saveAll(set), 0);
    ByteWriter w;
    w.i32(6);
    shortText(w, "Custom server list");
    w.u16(0);
    EXPECT_EQ(readBytes(tmp.file("serverlist.sl06")), w.data());
    EXPECT_EQ(modeOf(tmp.file("serverlist.sl06")), 0600u);
    EXPECT_EQ(fileNames(tmp.dir()), std::vector<std::string>{"serverlist.sl06"});
}

TEST(ListFiles, TemporaryFilesOfAKilledSaveAreRemovedAtStart) {
    TempDir tmp;
    writeBytes(tmp.file("clan.sl06"), v6File("Clan", {server("10.0.0.1", 27015)}));
    const std::vector<std::string> leftovers = {"serverlist.sl06.tmp-a1B2c3",
                                                "clan.sl06.tmp-XXXXXX"};
    // Near misses stay: other suffixes, a wrong length of the random part, other characters.
    const std::vector<std::string> kept = {
        "clan.sl06",           "clan.sl05.tmp-abcdef", "clan.SL06.tmp-abcdef",
        "clan.sl06.tmp-abcde", "notes.tmp-abcdef",     "clan.sl06.tmp-abc.ef",
        ".sl06.tmp-abcdef1",   "clan.sl06.tmp-abcdefg"};
    for (const auto& name : leftovers)
        writeBytes(tmp.file(name), Bytes{1, 2, 3});
    for (const auto& name : kept)
        if (name != "clan.sl06")
            writeBytes(tmp.file(name), Bytes{1, 2, 3});

    ServerListSet set;
    loadAll(set, tmp.dir());
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(fileNames(tmp.dir()), expected);
    EXPECT_EQ(set.size(), 2u); // the lists themselves are read as always
}

TEST(ListFiles, CustomListComesFromTheNewestNumberedFile) {
    TempDir tmp;
    writeBytes(tmp.file("serverlist.sl04"), v5File({"4.4.4.4"}));
    writeBytes(tmp.file("serverlist.sl06"), v6File("Mine", {server("6.6.6.6", 1)}));
    writeBytes(tmp.file("serverlist.dat"), v5File({"9.9.9.9"}));
    Bytes old = readBytes(tmp.file("serverlist.sl04"));

    ServerListSet set;
    loadAll(set, tmp.dir());
    ASSERT_EQ(set.size(), 1u); // serverlist.sl04 targets serverlist.sl06: already loaded
    EXPECT_EQ(set.at(0).name(), "Mine");
    ASSERT_EQ(set.at(0).size(), 1u);
    EXPECT_EQ(set.at(0).entries()[0].address.host, "6.6.6.6");

    saveAll(set);
    EXPECT_EQ(readBytes(tmp.file("serverlist.sl04")), old);
}

TEST(ListFiles, OnlyServerlistDatIsMigratedAndKept) {
    TempDir tmp;
    writeBytes(tmp.file("serverlist.dat"), v5File({"1.1.1.1", "2.2.2.2"}));
    Bytes dat = readBytes(tmp.file("serverlist.dat"));

    ServerListSet set;
    loadAll(set, tmp.dir());
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set.at(0).name(), "Custom server list"); // a version-5 file carries no name
    EXPECT_EQ(set.at(0).size(), 2u);
    EXPECT_EQ(set.at(0).filePath(), tmp.file("serverlist.sl06"));

    saveAll(set);
    EXPECT_EQ(readBytes(tmp.file("serverlist.dat")), dat);
    ServerListSet again;
    loadAll(again, tmp.dir());
    EXPECT_EQ(again.at(0).entries(), set.at(0).entries());
}

TEST(ListFiles, OtherListsNewestVersionFirstAndMigratedToSl06) {
    TempDir tmp;
    writeBytes(tmp.file("a.SL05"), v5File({"5.5.5.5"}));
    writeBytes(tmp.file("b.sl06"), v6File("Bee", {server("6.6.6.6", 1)}));
    writeBytes(tmp.file("clan.sl06"), v6File("Clan", {}));
    writeBytes(tmp.file("clan.sl05"), v5File({"0.0.0.5"}));
    writeBytes(tmp.file("clan.sl03"), v5File({"0.0.0.3"}));
    writeBytes(tmp.file("notes.txt"), v6File("Notes", {}));
    std::filesystem::create_directory(tmp.file("dir.sl06"));
    Bytes a05 = readBytes(tmp.file("a.SL05"));

    ServerListSet set;
    loadAll(set, tmp.dir());
    EXPECT_EQ(listNames(set),
              (std::vector<std::string>{"Custom server list", "Bee", "Clan", "Noname"}));
    const ServerList& a = set.at(3);
    EXPECT_EQ(a.filePath(), tmp.file("a.sl06"));
    EXPECT_EQ(a.sourcePath(), tmp.file("a.SL05"));
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a.entries()[0].address.host, "5.5.5.5");
    EXPECT_EQ(set.at(2).filePath(), tmp.file("clan.sl06"));
    EXPECT_EQ(set.at(2).size(), 0u); // from clan.sl06, not an older version

    saveAll(set);
    EXPECT_EQ(readBytes(tmp.file("a.SL05")), a05);
    ServerListSet again;
    loadAll(again, tmp.dir());
    // a.sl06 now exists and sorts before b.sl06 among the version-6 files.
    EXPECT_EQ(listNames(again),
              (std::vector<std::string>{"Custom server list", "Noname", "Bee", "Clan"}));
    EXPECT_EQ(again.at(1).sourcePath(), tmp.file("a.sl06"));
    EXPECT_EQ(again.at(1).entries(), a.entries());
}

TEST(ListFiles, FilesOfUnknownVersionAreLeftOutAndKept) {
    for (std::uint8_t version : {std::uint8_t{7}, std::uint8_t{0}}) {
        SCOPED_TRACE(int(version));
        TempDir tmp;
        Bytes odd = v6File("Future", {server("7.7.7.7", 7)});
        odd[0] = version;
        writeBytes(tmp.file("x.sl06"), odd);
        // An older readable version of the same list must not be read in its place and then
        // written over x.sl06.
        writeBytes(tmp.file("x.sl05"), v5File({"5.5.5.5"}));
        writeBytes(tmp.file("y.sl00"), odd);

        ServerListSet set;
        loadAll(set, tmp.dir());
        EXPECT_EQ(listNames(set), std::vector<std::string>{"Custom server list"});
        saveAll(set);
        EXPECT_EQ(readBytes(tmp.file("x.sl06")), odd);
        EXPECT_EQ(readBytes(tmp.file("y.sl00")), odd);
        EXPECT_FALSE(exists(tmp.file("y.sl06")));
    }
}

TEST(ListFiles, UnreadableCustomListIsRenamedBeforeItCouldBeReplaced) {
    TempDir tmp;
    Bytes whole = v6File("Mine", {server("1.1.1.1", 1, "one")});
    Bytes cut(whole.begin(), whole.end() - 3);
    writeBytes(tmp.file("serverlist.sl06"), cut);

    ServerListSet set;
    loadAll(set, tmp.dir());
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set.at(0).name(), "Custom server list");
    EXPECT_EQ(set.at(0).size(), 0u);
    EXPECT_EQ(readBytes(tmp.file("serverlist.sl06.unreadable")), cut);
    EXPECT_FALSE(exists(tmp.file("serverlist.sl06")));
    saveAll(set);
    EXPECT_EQ(readBytes(tmp.file("serverlist.sl06.unreadable")), cut);

    // A second damaged file never replaces the first one set aside.
    Bytes v9 = whole;
    v9[0] = 9;
    writeBytes(tmp.file("serverlist.sl06"), v9);
    loadAll(set, tmp.dir());
    EXPECT_EQ(set.at(0).size(), 0u);
    EXPECT_EQ(readBytes(tmp.file("serverlist.sl06.unreadable")), cut);
    EXPECT_EQ(readBytes(tmp.file("serverlist.sl06.unreadable.1")), v9);
}

TEST(ListFiles, UnreadableOlderCustomSourceIsSetAsideToo) {
    TempDir tmp;
    Bytes bad = {5, 0, 0, 0, 3, 0}; // three entries announced, none there
    writeBytes(tmp.file("serverlist.sl05"), bad);
    writeBytes(tmp.file("serverlist.dat"), v5File({"1.1.1.1"}));
    ServerListSet set;
    loadAll(set, tmp.dir());
    EXPECT_EQ(set.at(0).size(), 0u); // not silently replaced by the older serverlist.dat
    EXPECT_EQ(readBytes(tmp.file("serverlist.sl05.unreadable")), bad);
}

TEST(ListFiles, EveryTruncationOfAListFileLeavesTheFileAlone) {
    TempDir tmp;
    ServerEntry e = server("10.0.0.1", 27015, "First");
    e.rules = {{"mp_timelimit", "20"}};
    e.playerList = {{1, "p", 2, 3}};
    Bytes whole = v6File("Clan", {e, server("10.0.0.2", 27016, "Second")});
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        writeBytes(tmp.file("clan.sl06"), part);
        ServerListSet set;
        loadAll(set, tmp.dir());
        ASSERT_EQ(set.size(), 1u);
        saveAll(set);
        ASSERT_EQ(readBytes(tmp.file("clan.sl06")), part);
    }
    writeBytes(tmp.file("clan.sl06"), whole);
    ServerListSet set;
    loadAll(set, tmp.dir());
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set.at(1).size(), 2u);
    EXPECT_EQ(fileNames(tmp.dir()), (std::vector<std::string>{"clan.sl06", "serverlist.sl06"}));
}

TEST(ListFiles, AddListNamesAndMissingFiles) {
    TempDir tmp;
    writeBytes(tmp.file("named.sl06"), v6File("FromFile", {}));
    writeBytes(tmp.file("old.sl04"), v5File({}));
    ServerListSet set;

    EXPECT_TRUE(addList(set, tmp.file("named.sl06"), std::nullopt, std::string("Given"), false));
    EXPECT_EQ(set.at(0).name(), "FromFile");
    EXPECT_EQ(set.at(0).sourcePath(), tmp.file("named.sl06"));

    EXPECT_TRUE(addList(set, tmp.file("old.sl06"), tmp.file("old.sl04"), std::nullopt, false));
    EXPECT_EQ(set.at(1).name(), "Noname");

    EXPECT_FALSE(addList(set, tmp.file("none.sl06"), std::nullopt, std::nullopt, false));
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE(addList(set, tmp.file("none.sl06"), std::nullopt, std::string(""), true));
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(set.at(2).name(), "");
    EXPECT_FALSE(exists(tmp.file("none.sl06")));

    // A directory is not a missing file: it is unreadable and not created over.
    std::filesystem::create_directory(tmp.file("d.sl06"));
    EXPECT_EQ(readListFile(tmp.file("d.sl06")).status, ListFileStatus::Unreadable);
    EXPECT_EQ(readListFile(tmp.file("nothing")).status, ListFileStatus::Missing);
    EXPECT_FALSE(addList(set, tmp.file("d.sl06"), std::nullopt, std::nullopt, false));
}

TEST(ListFiles, ReadReportsWhereAFileFailed) {
    TempDir tmp;
    Bytes whole = v6File("N", {server("1.2.3.4", 5)});
    writeBytes(tmp.file("t.sl06"), Bytes(whole.begin(), whole.begin() + 9));
    ListFileRead r = readListFile(tmp.file("t.sl06"));
    EXPECT_EQ(r.status, ListFileStatus::Unreadable);
    // version 4, name 2, count 2, host prefix 1: the host's bytes are cut off at offset 9.
    EXPECT_EQ(r.contents.failOffset, 9u);
    EXPECT_NE(r.problem.find("offset 9"), std::string::npos) << r.problem;
}

TEST(ListFiles, WriteListReplacesWholeAndFailsCleanly) {
    TempDir tmp;
    std::string path = tmp.file("w.sl06");
    writeBytes(path, {1, 2, 3});
    ::chmod(path.c_str(), 0644);
    ServerList list(path, path, "W");
    list.entries().push_back(server("1.1.1.1", 1));
    ASSERT_TRUE(writeList(list, path));
    EXPECT_EQ(readBytes(path), v6File("W", list.entries()));
    EXPECT_EQ(modeOf(path), 0600u);

    // No such directory: false, nothing created.
    EXPECT_FALSE(writeList(list, tmp.file("missing/w.sl06")));
    // The target is a directory: the rename fails, the directory and its contents stay, and no
    // temporary file is left behind.
    std::filesystem::create_directory(tmp.file("busy.sl06"));
    writeBytes(tmp.file("busy.sl06/inside"), {9});
    EXPECT_FALSE(writeList(list, tmp.file("busy.sl06")));
    EXPECT_EQ(readBytes(tmp.file("busy.sl06/inside")), Bytes{9});
    EXPECT_EQ(fileNames(tmp.dir()), (std::vector<std::string>{"busy.sl06", "w.sl06"}));
    EXPECT_EQ(readBytes(path), v6File("W", list.entries()));

    // saveAll goes on past a list it cannot write and counts it.
    ServerListSet set;
    set.append(ServerList(tmp.file("busy.sl06"), "", "bad"));
    set.append(ServerList(tmp.file("good.sl06"), "", "good"));
    EXPECT_EQ(saveAll(set), 1);
    EXPECT_TRUE(exists(tmp.file("good.sl06")));
}

TEST(ListFiles, EmptyDataDirectoryMeansTheCurrentDirectory) {
    TempDir tmp;
    writeBytes(tmp.file("here.sl06"), v6File("Here", {}));
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(tmp.dir());
    ServerListSet set;
    loadAll(set, "");
    std::filesystem::current_path(previous);
    EXPECT_EQ(listNames(set), (std::vector<std::string>{"Custom server list", "Here"}));
    EXPECT_EQ(set.at(0).filePath(), "serverlist.sl06");
}
