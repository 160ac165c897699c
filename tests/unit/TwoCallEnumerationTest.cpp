#include "platform/TwoCallEnumeration.h"

#include <cstring>
#include <gtest/gtest.h>

namespace vexo {
namespace {

// A spooler whose records (8 bytes each) can grow between the calls.
struct FakeEnumeration {
    std::vector<std::uint32_t> growth; // records added before each call
    std::uint32_t records = 3;
    int calls = 0;
    WinError failWith = err::Success;
    bool alwaysShort = false; // every buffer turns out a little too small

    WinError operator()(std::byte* data, std::uint32_t size, std::uint32_t* needed,
                        std::uint32_t* returned) {
        if (static_cast<std::size_t>(calls) < growth.size()) {
            records += growth[static_cast<std::size_t>(calls)];
        }
        ++calls;
        if (failWith != err::Success) {
            return failWith;
        }
        *needed = alwaysShort ? size + 8 : records * 8;
        if (size < *needed) {
            return err::InsufficientBuffer;
        }
        for (std::uint32_t i = 0; i < records; ++i) {
            std::memcpy(data + i * 8, &i, sizeof i);
        }
        *returned = records;
        return err::Success;
    }
};

TEST(TwoCallEnumeration, SizesThenFills) {
    FakeEnumeration fake;
    std::vector<std::byte> buffer;
    std::uint32_t count = 99;
    EXPECT_EQ(enumerateTwoCalls(std::ref(fake), buffer, count), err::Success);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(fake.calls, 2);
    EXPECT_GE(buffer.size(), 24u);
}

TEST(TwoCallEnumeration, RetriesWhenTheListGrowsBetweenTheCalls) {
    FakeEnumeration fake;
    fake.growth = {0, 2, 5}; // grows before the second and the third call
    std::vector<std::byte> buffer;
    std::uint32_t count = 0;
    EXPECT_EQ(enumerateTwoCalls(std::ref(fake), buffer, count), err::Success);
    EXPECT_EQ(count, 10u);
    EXPECT_GE(buffer.size(), count * 8u);
}

TEST(TwoCallEnumeration, GivesUpOnAListThatNeverStopsGrowing) {
    FakeEnumeration fake;
    fake.alwaysShort = true;
    std::vector<std::byte> buffer;
    std::uint32_t count = 7;
    EXPECT_EQ(enumerateTwoCalls(std::ref(fake), buffer, count), err::InsufficientBuffer);
    EXPECT_EQ(count, 0u);
    EXPECT_LE(fake.calls, kMaxEnumerationRounds + 1);
}

TEST(TwoCallEnumeration, AnEmptyListOrAFailureGivesNoRecords) {
    FakeEnumeration empty;
    empty.records = 0;
    std::vector<std::byte> buffer;
    std::uint32_t count = 5;
    EXPECT_EQ(enumerateTwoCalls(std::ref(empty), buffer, count), err::Success);
    EXPECT_EQ(count, 0u);

    FakeEnumeration failing;
    failing.failWith = err::RpcServerUnavailable;
    count = 5;
    EXPECT_EQ(enumerateTwoCalls(std::ref(failing), buffer, count), err::RpcServerUnavailable);
    EXPECT_EQ(count, 0u);
}

} // namespace
} // namespace vexo
