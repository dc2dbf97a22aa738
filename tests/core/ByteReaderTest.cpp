#include "common/ByteReader.h"
#include "common/ByteWriter.h"

#include <gtest/gtest.h>

using ondel::ByteReader;
using ondel::ByteWriter;

TEST(ByteReader, ReadsLittleEndianValuesWrittenByTheWriter) {
    ByteWriter w;
    w.u8(0xAB);
    w.i16(-2);
    w.u32(0x01020304);
    w.i64(-1234567890123LL);
    w.f32(59.9f);
    w.cString("name");
    ByteReader r(w.data().data(), w.size());
    EXPECT_EQ(r.u8(), 0xAB);
    EXPECT_EQ(r.i16(), -2);
    EXPECT_EQ(r.u32(), 0x01020304u);
    EXPECT_EQ(r.i64(), -1234567890123LL);
    EXPECT_FLOAT_EQ(r.f32(), 59.9f);
    EXPECT_EQ(r.cString(), "name");
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(w.data()[3], 0x04); // low byte first
}

TEST(ByteReader, FailureIsStickyAndReturnsZeroes) {
    const std::uint8_t data[] = {1, 2, 3};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.position(), 0u);
    // Even a read that would fit now fails: the reader stays failed.
    EXPECT_EQ(r.u8(), 0);
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_FALSE(r.ok());
}

TEST(ByteReader, CStringNeedsItsTerminatorButOrRestDoesNot) {
    const char data[] = {'a', 'b', 0, 'c', 'd'};
    ByteReader strict(data, sizeof data);
    EXPECT_EQ(strict.cString(), "ab");
    EXPECT_EQ(strict.cString(), "");
    EXPECT_FALSE(strict.ok());

    ByteReader lenient(data, sizeof data);
    EXPECT_EQ(lenient.cStringOrRest(), "ab");
    EXPECT_EQ(lenient.cStringOrRest(), "cd");
    EXPECT_TRUE(lenient.ok());
    EXPECT_TRUE(lenient.atEnd());
}

TEST(ByteReader, HugeLengthsFailWithoutOverflow) {
    const std::uint8_t data[] = {0, 0};
    ByteReader r(data, sizeof data);
    r.u8();
    EXPECT_EQ(r.bytes(SIZE_MAX), "");
    EXPECT_FALSE(r.ok());
    ByteReader s(data, sizeof data);
    EXPECT_FALSE(s.skip(SIZE_MAX - 1));
}
