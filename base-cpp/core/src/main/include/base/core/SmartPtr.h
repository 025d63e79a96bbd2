#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace base::core {

// Intrusive pointer over Object's reference count.
template <typename T> class SmartPtr {
public:
    SmartPtr() noexcept = default;
    SmartPtr(std::nullptr_t) noexcept {}
    SmartPtr(T* object) noexcept : pointer(object) { acquire(); }
    SmartPtr(const SmartPtr& other) noexcept : pointer(other.pointer) { acquire(); }
    SmartPtr(SmartPtr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    SmartPtr(const SmartPtr<U>& other) noexcept : pointer(other.get()) {
        acquire();
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    SmartPtr(SmartPtr<U>&& other) noexcept : pointer(other.detach()) {}
    ~SmartPtr() { releasePointer(); }

    SmartPtr& operator=(const SmartPtr& other) noexcept {
        SmartPtr(other).swap(*this);
        return *this;
    }
    SmartPtr& operator=(SmartPtr&& other) noexcept {
        SmartPtr(std::move(other)).swap(*this);
        return *this;
    }
    SmartPtr& operator=(T* object) noexcept {
        SmartPtr(object).swap(*this);
        return *this;
    }

    T* get() const noexcept { return pointer; }
    T* operator->() const noexcept { return pointer; }
    T& operator*() const noexcept { return *pointer; }
    explicit operator bool() const noexcept { return pointer != nullptr; }
    bool isNull() const noexcept { return pointer == nullptr; }
    void reset() noexcept { SmartPtr().swap(*this); }
    void swap(SmartPtr& other) noexcept { std::swap(pointer, other.pointer); }
    // Hands the reference to the caller without releasing it.
    T* detach() noexcept { return std::exchange(pointer, nullptr); }

    template <typename U> bool operator==(const SmartPtr<U>& other) const noexcept {
        return pointer == other.get();
    }
    bool operator==(std::nullptr_t) const noexcept { return pointer == nullptr; }

private:
    void acquire() const noexcept {
        if (pointer)
            pointer->retain();
    }
    void releasePointer() noexcept {
        if (pointer)
            std::exchange(pointer, nullptr)->release();
    }

    T* pointer = nullptr;
};

template <typename T, typename... Args> SmartPtr<T> makeShared(Args&&... args) {
    return SmartPtr<T>(new T(std::forward<Args>(args)...));
}

template <typename T, typename U> SmartPtr<T> dynamicPointerCast(const SmartPtr<U>& from) {
    return SmartPtr<T>(dynamic_cast<T*>(from.get()));
}

} // namespace base::core
