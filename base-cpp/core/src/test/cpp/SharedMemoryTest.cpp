#include "ProcessTestSupport.h"

#include "base/core/MD5.h"
#include "base/core/SharedMemory.h"
#include "base/core/StringBuilder.h"

#include <algorithm>

using namespace base::core;
using base::core::test::failureOf;
using base::core::test::ScopedUser;

namespace {

std::string md5Hex(const std::string& message) {
    std::string text;
    for (uint8_t byte : MD5::compute(message.data(), message.size()))
        text += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
    return text;
}

} // namespace

// Lengths around the padding limit: 55 bytes still fit the length into the last block, 56 do not. Short
// names are digested in the resource-name test below.
TEST(MD5, KnownDigests) {
    const std::pair<std::string, const char*> rows[] = {
        {std::string(55, 'x'), "04364420e25c512fd958a70738aa8f72"},
        {std::string(56, 'x'), "668a72d5ba17f08e62dabcafad6db14b"},
        {std::string(64, 'x'), "c1bb4f81d892b2d57947682aeb252456"},
    };
    for (const auto& [message, digest] : rows)
        EXPECT_EQ(md5Hex(message), digest) << message;
}

TEST(SharedMemory, ResourceNameIsBase64OfMd5WithDashAlphabet) {
    ScopedUser user("u");
    // Digests whose standard base64 contains "/" and "+".
    EXPECT_EQ(getSharedResourceName("zelvar-plugin-host3-2"), "9pwcm50LO-ljRyj-H+ADhg==");
    ScopedUser noUser(nullptr);
    EXPECT_EQ(getSharedResourceName("zelvar-plugin-host3-7"), "wyQSBzBmTM1OCPlD05zmdg==");
}

// What a host that died would leave, an object of the same name with old contents, is replaced rather than
// reused: whoever still has the old object open cannot reach the new block through it. Opened a second time
// (as a client of another process does), the block is the owner's.
TEST(SharedMemory, StaleObjectIsReplacedClientSeesTheOwnersZeroedBlockAndOnlyTheOwnerRemovesIt) {
    const String name = StringBuilder() + SHARED_MEMORY_NAME_PREFX + static_cast<int>(getpid()) + "-shared";
    const std::string object = "/dev/shm/" + getSharedResourceName(name);
    std::ofstream(object) << std::string(4096, 'x');
    const int old = open(object.c_str(), O_RDONLY);
    const int64_t size = 65536;
    SmartPtr<SharedMemory> block = SharedMemory::create(name, size);
    struct stat info;
    ASSERT_EQ(fstat(old, &info), 0);
    EXPECT_EQ(info.st_nlink, 0u);
    close(old);
    ASSERT_TRUE(block->isOwner());
    ASSERT_EQ(block->getSize(), size);
    auto* bytes = static_cast<unsigned char*>(block->getAddress());
    EXPECT_EQ(std::count(bytes, bytes + size, 0), size);
    bytes[size - 1] = 0x5A;

    SmartPtr<SharedMemory> client = SharedMemory::open(name, size);
    auto* seen = static_cast<unsigned char*>(client->getAddress());
    EXPECT_FALSE(client->isOwner());
    EXPECT_EQ(seen[size - 1], 0x5A);

    client.reset();
    SharedMemory::open(name, size).reset();
    block.reset();
    EXPECT_EQ(failureOf([&] { SharedMemory::open(name, 4096); }),
              "Could not open shared memory with name \"" + name.getStdString() +
                  "\" and size of 4096\nNo such file or directory");
}
