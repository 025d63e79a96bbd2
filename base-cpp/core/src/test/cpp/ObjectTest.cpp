#include "base/core/Object.h"
#include "base/core/SmartPtr.h"

#include <gtest/gtest.h>

using namespace base::core;

namespace {

// Counts the steps of its release: beforeDestruction, deleteObject, destructor.
class Tracked : public Object {
public:
    explicit Tracked(int (&events)[3]) : events(events) {}
    ~Tracked() override { ++events[2]; }
    bool beforeDestruction() override {
        ++events[0];
        return !keepAlive;
    }
    void deleteObject() override {
        ++events[1];
        Object::deleteObject();
    }

    int (&events)[3];
    bool keepAlive = false;
};

} // namespace

TEST(Object, SmartPtrCountsReferencesAndBeforeDestructionCanKeepTheObject) {
    int events[3] = {};
    auto* object = new Tracked(events);
    EXPECT_EQ(object->getReferenceCount(), 0);
    SmartPtr<Tracked> first(object);
    {
        SmartPtr<Tracked> copy = first;
        SmartPtr<Object> base = copy;
        SmartPtr<Object> moved = std::move(base);
        EXPECT_TRUE(base.isNull());
        EXPECT_EQ(object->getReferenceCount(), 3);
    }
    EXPECT_EQ(object->getReferenceCount(), 1);
    object->keepAlive = true;
    first.reset();
    EXPECT_EQ(object->getReferenceCount(), 0);
    EXPECT_EQ(std::vector<int>(events, events + 3), std::vector<int>({1, 0, 0}));
    // Still usable, and released for good once it agrees.
    object->keepAlive = false;
    SmartPtr<Tracked>(object).reset();
    EXPECT_EQ(std::vector<int>(events, events + 3), std::vector<int>({2, 1, 1}));
}
