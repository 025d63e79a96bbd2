#pragma once

namespace base::core {

class AbstractMutex {
public:
    virtual ~AbstractMutex() = default;
    virtual void lock() = 0;
    virtual bool tryLock() = 0;
    virtual void unlock() = 0;
    virtual bool isRecursive() const = 0;
};

} // namespace base::core
