#include "base/core/SharedMemory.h"

#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/MD5.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base::core {

const char* const SHARED_MEMORY_NAME_PREFX = "zelvar-plugin-host";

namespace {

// Standard base64 with "-" for "/", which may not appear in a shared-memory name.
constexpr char NAME_ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-";

std::string encodeName(const MD5::Digest& digest) {
    std::string text;
    size_t i = 0;
    for (; i + 3 <= digest.size(); i += 3) {
        const uint32_t group = (uint32_t(digest[i]) << 16) | (uint32_t(digest[i + 1]) << 8) | digest[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            text += NAME_ALPHABET[(group >> shift) & 63];
    }
    // 16 bytes leave one: two characters and two padding characters.
    const uint32_t last = uint32_t(digest[i]) << 16;
    text += NAME_ALPHABET[(last >> 18) & 63];
    text += NAME_ALPHABET[(last >> 12) & 63];
    text += "==";
    return text;
}

} // namespace

std::string getSharedResourceName(const String& name) {
    const char* user = std::getenv("USER");
    const std::string text = (StringBuilder() + (user ? user : "") + "-" + name).toString().getStdString();
    return encodeName(MD5::compute(text.data(), text.size()));
}

SmartPtr<SharedMemory> SharedMemory::create(const String& logicalName, int64_t size) {
    return SmartPtr<SharedMemory>(new SharedMemory(logicalName, size, true));
}

SmartPtr<SharedMemory> SharedMemory::open(const String& logicalName, int64_t size) {
    return SmartPtr<SharedMemory>(new SharedMemory(logicalName, size, false));
}

void SharedMemory::remove(const String& logicalName) {
    shm_unlink(getSharedResourceName(logicalName).c_str());
}

namespace {

// The names of the objects this process owns, for a process that must end without its destructors.
std::mutex ownedNamesMutex;
std::set<std::string> ownedNames;

} // namespace

void SharedMemory::takeOwnership() {
    owner = true;
    std::lock_guard<std::mutex> guard(ownedNamesMutex);
    ownedNames.insert(name);
}

void SharedMemory::removeName() {
    if (!owner)
        return;
    owner = false;
    shm_unlink(name.c_str());
    std::lock_guard<std::mutex> guard(ownedNamesMutex);
    ownedNames.erase(name);
}

void SharedMemory::removeAllOwnedNames() {
    // A thread stuck inside a creation must not keep a process that is ending from ending: try for a while,
    // then give up.
    std::unique_lock<std::mutex> guard(ownedNamesMutex, std::defer_lock);
    for (int attempt = 0; attempt < 100 && !guard.try_lock(); ++attempt)
        usleep(1000);
    if (!guard.owns_lock())
        return;
    for (const std::string& owned : ownedNames)
        shm_unlink(owned.c_str());
    ownedNames.clear();
}

SharedMemory::SharedMemory(const String& logicalName, int64_t size, bool create)
    : name(getSharedResourceName(logicalName)), size(size) {
    // The name is predictable, so another local user may have made an object of that name first.
    auto inTheWay = [this]() -> String {
        return StringBuilder() + std::strerror(errno) + "; /dev/shm/" + name +
               " is in the way and may belong to another user, so it is not used: remove it (as its owner "
               "or as root)";
    };
    if (create) {
        // A block left by a host that died would otherwise be reused with its old size and contents. One
        // that cannot be removed, or that is back before ours is made, is refused rather than adopted.
        if (shm_unlink(name.c_str()) != 0 && errno != ENOENT)
            fail("Could not remove stale shared memory with name \"", logicalName, inTheWay());
        fileDescriptor = shm_open(name.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
        if (fileDescriptor < 0)
            fail("Could not create shared memory with name \"", logicalName,
                 errno == EEXIST ? inTheWay() : String());
        // Owned from here on, so that a failure below removes the object again.
        takeOwnership();
        if (ftruncate(fileDescriptor, size) != 0)
            fail("Could not ftruncate shared memory with name \"", logicalName);
    } else {
        fileDescriptor = shm_open(name.c_str(), O_RDWR, 0600);
        if (fileDescriptor < 0)
            fail("Could not open shared memory with name \"", logicalName);
        // Only the host of this user makes the block, at the full size: anything else is refused here, where
        // it is an error, rather than met later as a SIGBUS on an access beyond its end.
        struct stat info;
        if (fstat(fileDescriptor, &info) != 0)
            fail("Could not open shared memory with name \"", logicalName);
        if (info.st_uid != geteuid())
            fail("Refusing shared memory with name \"", logicalName,
                 StringBuilder() + "It belongs to " + LocalFileSystem::describeUser(info.st_uid) +
                     ", not to " + LocalFileSystem::describeUser(geteuid()));
        if (info.st_size < size)
            fail("Refusing shared memory with name \"", logicalName,
                 StringBuilder() + "It holds only " + static_cast<long long>(info.st_size) + " bytes");
    }
    address = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fileDescriptor, 0);
    if (address == MAP_FAILED) {
        address = nullptr;
        fail("Could not map shared memory with name \"", logicalName);
    }
    mapped = true;
    if (create)
        std::memset(address, 0, static_cast<size_t>(size));
}

SharedMemory::~SharedMemory() {
    if (mapped) {
        munmap(address, static_cast<size_t>(size));
        address = nullptr;
        size = 0;
        mapped = false;
    }
    if (fileDescriptor >= 0) {
        removeName();
        ::close(fileDescriptor);
    }
}

void SharedMemory::fail(const char* what, const String& logicalName, const String& detail) {
    // Built before the destructor's clean-up can change errno.
    IOException exception(StringBuilder() + what + logicalName + "\" and size of " +
                          static_cast<long long>(size) + "\n" +
                          (detail.isEmpty() ? String(std::strerror(errno)) : detail));
    if (fileDescriptor >= 0) {
        removeName();
        ::close(fileDescriptor);
    }
    throw exception;
}

} // namespace base::core
