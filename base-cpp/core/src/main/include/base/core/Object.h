#pragma once

#include <atomic>
#include <cstdint>

namespace base::core {

class String;

// Root of every shared object: an intrusive, atomic reference count that SmartPtr drives.
class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object(Object&&) = delete;
    Object& operator=(const Object&) = delete;
    Object& operator=(Object&&) = delete;
    virtual ~Object();

    // The type name, "@" and the address in hexadecimal.
    virtual String asString() const;
    virtual const Object* getObject() const { return this; }
    virtual Object* getObject() { return this; }
    // Called by the thread whose release brings the count to 0; false keeps the object alive.
    virtual bool beforeDestruction() { return true; }
    virtual void deleteObject() { delete this; }

    void retain() const noexcept { referenceCount.fetch_add(1, std::memory_order_seq_cst); }
    void release() const noexcept;
    int32_t getReferenceCount() const noexcept { return referenceCount.load(); }

private:
    mutable std::atomic<int32_t> referenceCount{0};
};

} // namespace base::core
