#include "settings/SettingsKeys.h"

#include "../fakes/FakeSettingsStore.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(SettingsKeys, MessageValueNames) {
    EXPECT_EQ(settings::messageValueName(7), "MSG00007");
    EXPECT_EQ(settings::messageValueName(42), "MSG00042");
    EXPECT_EQ(settings::messageValueName(0), "MSG00000");
    EXPECT_EQ(settings::messageValueName(1234567), "MSG1234567");
}

TEST(SettingsKeys, ValuesLandUnderTheirSubkeysAndNames) {
    test::FakeSettingsStore store;
    EXPECT_TRUE(settings::write(store, settings::kHlDir, "/games/hl"));
    EXPECT_TRUE(settings::write(store, settings::kConnectionExit, 1));
    EXPECT_TRUE(settings::write(store, settings::kMasterId, 99));
    EXPECT_TRUE(store.writeInt("Master Server", "MSG00007", 1));
    EXPECT_TRUE(store.has("Settings", "HLDir"));
    EXPECT_TRUE(store.has("Settings", "ConnectionExit"));
    EXPECT_TRUE(store.has("Master Server", "ID"));
    EXPECT_EQ(settings::read(store, settings::kHlDir), "/games/hl");
    EXPECT_TRUE(settings::isMessageHidden(store, 7));
    EXPECT_FALSE(settings::isMessageHidden(store, 70));

    store.setAvailable(false);
    EXPECT_FALSE(settings::write(store, settings::kParameters, "-dev"));
    EXPECT_EQ(settings::read(store, settings::kParameters), "-console");
    EXPECT_EQ(settings::read(store, settings::kConnectionExit), 0);
}
