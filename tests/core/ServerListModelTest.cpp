#include "serverlist/ServerList.h"
#include "serverlist/ServerListSet.h"
#include "serverlist/TargetAddress.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(ParseAddress, AcceptsAndRejects) {
    struct Case {
        const char* text;
        const char* host;
        int port;
    } cases[] = {
        {"  10.0.0.5:27016 (some name)", "10.0.0.5", 27016},
        {"1.2.3.4:27015 My Server", "1.2.3.4", 27015},
        {"10.0.0.5:", "10.0.0.5", 0},
        {"ab.cd.ef:27015", "ab.cd.ef", 27015},
        {"Host.A.b:27015", "Host.A.b", 27015},
        {"a-b.c_d.e:1", "a-b.c_d.e", 1},
        {"10.0.0.5:65535", "10.0.0.5", 65535},
        {"10.0.0.5", "", 0},
        {"10.0.0:27015", "", 0},
        {"10.0.0.5.:27015", "", 0},
        {"10..0.5:27015", "", 0},
        {"10.0.0.5:270155", "", 0},
        {"10.0.0.5:27a15", "", 0},
        {"ab.cd:27015", "", 0},
        {"-x.y.z:1", "", 0},
        {":27015", "", 0},
        {"10.0.0.5:65536", "", 0}, // beyond the UDP port range
        {"10.0.0.5:99999", "", 0},
        {"1a.0.0.1:5", "", 0},
        {"", "", 0},
        // Dotted hosts are written plain, as the replies' sender is: one server, one text.
        {"127.000.000.001:27015", "127.0.0.1", 27015},
        {"127.0.0.01:27015", "127.0.0.1", 27015},
        {"010.0.0.1:1", "10.0.0.1", 1},
        {"256.0.0.1:1", "", 0},
        {"1.2.3.0001:1", "", 0},
    };
    for (const auto& c : cases) {
        ServerAddress a = parseAddress(c.text);
        EXPECT_EQ(a.host, c.host) << c.text;
        EXPECT_EQ(a.port, c.port) << c.text;
    }
    EXPECT_EQ(addressText({"192.168.0.10", 27015}), "192.168.0.10:27015");
}

TEST(ParseAddress, BroadcastMulticastAndThisNetworkAreRefusedAsTargets) {
    struct Case {
        const char* host;
        const char* says; // empty: may be asked
    } cases[] = {
        {"255.255.255.255", "broadcast"},
        {"224.0.0.1", "multicast"},
        {"239.1.2.3", "multicast"},
        {"240.0.0.1", "reserved"},
        {"254.9.9.9", "reserved"},
        {"0.0.0.0", "this network"},
        {"0.1.2.3", "this network"},
        {"223.255.255.255", ""},
        {"1.0.0.0", ""},
        {"10.0.0.255", ""},
        {"127.0.0.1", ""},
        {"game.example.org", ""},
    };
    for (const auto& c : cases) {
        const std::string refusal = targetRefusal({c.host, 27015});
        if (*c.says == '\0')
            EXPECT_EQ(refusal, "") << c.host;
        else
            EXPECT_NE(refusal.find(c.says), std::string::npos) << c.host << ": " << refusal;
    }
    // Typed with leading zeros, a multicast address is still known as such.
    EXPECT_NE(targetRefusal(parseAddress("224.000.000.001:1")).find("multicast"),
              std::string::npos);
}

namespace {
ServerEntry entry(const char* host, int port, const char* name = "") {
    ServerEntry e;
    e.address = {host, port};
    e.hostName = name;
    return e;
}
} // namespace

TEST(ServerList, StoreEntryMovesToFrontAndReplacesOnlyTheFirstCopy) {
    ServerList list;
    for (int i = 0; i < 5; ++i)
        list.entries().push_back(entry("10.0.0.1", 27000 + i));
    list.entries().push_back(entry("10.0.0.1", 27003, "duplicate"));

    ServerEntry update = entry("10.0.0.1", 27003, "updated");
    update.comment = "c";
    list.storeEntry(update);
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list.entries()[0], update);
    EXPECT_EQ(list.entries()[1].address.port, 27000);
    EXPECT_EQ(list.entries()[3].address.port, 27002);
    EXPECT_EQ(list.entries()[4].address.port, 27004);
    EXPECT_EQ(list.entries()[5].hostName, "duplicate");

    list.storeEntry(entry("host.a.b", 27015));
    list.storeEntry(entry("Host.A.b", 27015));
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list.entries()[0].address.host, "Host.A.b");
    EXPECT_EQ(list.entries()[1].address.host, "host.a.b");
}

TEST(ServerList, StoreEntryOfItsOwnElementIsSafe) {
    ServerList list;
    for (int i = 0; i < 4; ++i)
        list.entries().push_back(entry("10.0.0.1", 27000 + i, "n"));
    list.storeEntry(list.entries()[3]);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list.entries()[0].address.port, 27003);
    EXPECT_EQ(list.entries()[3].address.port, 27002);
}

TEST(ServerListSet, RemovingKeepsTheCurrentListAndNeverTheCustomOne) {
    ServerListSet set;
    set.append(ServerList("a", "a", ServerListSet::kCustomListName));
    set.append(ServerList("b", "b", "B"));
    set.append(ServerList("c", "c", "C"));
    set.setCurrentIndex(2);
    EXPECT_FALSE(set.removeAt(0));
    EXPECT_TRUE(set.removeAt(1));
    EXPECT_EQ(set.current().name(), "C");
    EXPECT_TRUE(set.removeAt(1));
    EXPECT_EQ(set.currentIndex(), 0u);
    EXPECT_EQ(set.findByFilePath("a"), 0);
    EXPECT_EQ(set.findByFilePath("b"), -1);
}
