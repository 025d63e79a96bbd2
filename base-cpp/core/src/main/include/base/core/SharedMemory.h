#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"

#include <cstdint>
#include <string>

namespace base::core {

// Start of the logical names of the host's shared audio blocks (followed by host id, "-", instance id).
extern const char* const SHARED_MEMORY_NAME_PREFX;

// The system name of a shared resource: base64 of the MD5 of USER + "-" + name, with "-" in place of "/".
// Always 24 characters, short enough for any platform's shared-memory names.
std::string getSharedResourceName(const String& name);

// A POSIX shared-memory object mapped into this process. Messages name the logical name, not the hash.
class SharedMemory : public Object {
public:
    // Owner side: removes any object of that name, creates a new one exclusively (mode 0600), sizes and maps
    // it and fills it with zeros. An object that cannot be removed or that reappears is an error, never
    // used. The object is removed when this value is destroyed.
    static SmartPtr<SharedMemory> create(const String& logicalName, int64_t size);
    // The other side: maps an object that the owner has created, as it is. It must belong to this user and
    // hold at least `size` bytes.
    static SmartPtr<SharedMemory> open(const String& logicalName, int64_t size);

    // Removes the object of that name, if there is one: what is left when its owner has died.
    static void remove(const String& logicalName);
    // Any thread: removes the names of every object this process owns (the mappings stay), for a process
    // that is about to end without running its destructors.
    static void removeAllOwnedNames();

    ~SharedMemory() override;

    // Owner side: removes the name now (once); the mapping stays valid until this value goes.
    void removeName();

    void* getAddress() const { return address; }
    int64_t getSize() const { return size; }
    bool isOwner() const { return owner; }
    const std::string& getName() const { return name; }

private:
    SharedMemory(const String& logicalName, int64_t size, bool create);

    // Marks the object as this one's to remove, here and in the process-wide list of owned names.
    void takeOwnership();
    // Throws the IOException of a failed step: the logical name, the size, then `detail` or else the system
    // error text.
    [[noreturn]] void fail(const char* what, const String& logicalName, const String& detail = String());

    int32_t fileDescriptor = -1;
    std::string name;
    bool owner = false;
    void* address = nullptr;
    int64_t size;
    bool mapped = false;
};

} // namespace base::core
