#include "master/MasterRecord.h"
#include "master/MasterHost.h"

#include <gtest/gtest.h>

using namespace ondel;
using Bytes = std::vector<std::uint8_t>;

TEST(MasterRecord, UserIdRequestBody) {
    EXPECT_EQ(encodeUserIdRequest(0), (Bytes{0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                             0x00, 0xFD, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(encodeUserIdRequest(0x12345678),
              (Bytes{0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12, 0xFD, 0x00, 0x00,
                     0x00, 0x00, 0x00}));
    EXPECT_EQ(encodeUserIdRequest(-1), (Bytes{0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
                                              0xFF, 0xFD, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST(MasterRecord, VersionRequestBody) {
    EXPECT_EQ(encodeVersionRequest("v0.2.5"),
              (Bytes{0x01, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 'v',
                     '0',  '.',  '2',  '.',  '5',  0xFD, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(std::string(kMasterVersionText), "v" ONDEL_VERSION_TEXT);
}

TEST(MasterRecord, RequestPayloadLimit) {
    EXPECT_EQ(encodeMasterRequest(MasterRecordType::Version, std::string(1012, 'x')).size(), 1024u);
    EXPECT_TRUE(encodeMasterRequest(MasterRecordType::Version, std::string(1013, 'x')).empty());
}

TEST(MasterHost, ParsesHostAndOptionalPort) {
    EXPECT_EQ(parseMasterHost("master.example.org"), (MasterHost{"master.example.org", 80}));
    EXPECT_EQ(parseMasterHost(" 127.0.0.1:8080 "), (MasterHost{"127.0.0.1", 8080}));
    EXPECT_EQ(parseMasterHost("h:65535"), (MasterHost{"h", 65535}));
    for (const char* bad : {"", "   ", ":80", "h:", "h:0", "h:65536", "h:8o", "h:123456",
                            "http://h", "a b", "h:80:81"})
        EXPECT_EQ(parseMasterHost(bad), std::nullopt) << "[" << bad << "]";
}
