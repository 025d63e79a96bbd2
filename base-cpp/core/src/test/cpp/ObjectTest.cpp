#include "base/core/Object.h"
#include "base/core/AssertionFailedException.h"
#include "base/core/EOSException.h"
#include "base/core/IOException.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace base::core;

namespace {

struct Events {
    int beforeDestruction = 0;
    int deleteObject = 0;
    int destroyed = 0;
};

class Tracked : public Object {
public:
    explicit Tracked(Events& events) : events(events) {}
    ~Tracked() override { ++events.destroyed; }
    bool beforeDestruction() override {
        ++events.beforeDestruction;
        return !keepAlive;
    }
    void deleteObject() override {
        ++events.deleteObject;
        Object::deleteObject();
    }

    Events& events;
    bool keepAlive = false;
};

class DerivedTracked : public Tracked {
public:
    using Tracked::Tracked;
};

} // namespace

TEST(Object, SmartPtrCountsReferences) {
    Events events;
    auto* object = new Tracked(events);
    EXPECT_EQ(object->getReferenceCount(), 0);
    SmartPtr<Tracked> first(object);
    EXPECT_EQ(object->getReferenceCount(), 1);
    {
        SmartPtr<Tracked> copy = first;
        SmartPtr<Object> base = copy;
        EXPECT_EQ(object->getReferenceCount(), 3);
        SmartPtr<Object> moved = std::move(base);
        EXPECT_TRUE(base.isNull());
        EXPECT_EQ(object->getReferenceCount(), 3);
    }
    EXPECT_EQ(object->getReferenceCount(), 1);
    EXPECT_EQ(events.destroyed, 0);
    first.reset();
    EXPECT_EQ(events.beforeDestruction, 1);
    EXPECT_EQ(events.deleteObject, 1);
    EXPECT_EQ(events.destroyed, 1);
}

TEST(Object, BeforeDestructionCanKeepTheObject) {
    Events events;
    auto* object = new Tracked(events);
    object->keepAlive = true;
    SmartPtr<Tracked>(object).reset();
    EXPECT_EQ(events.beforeDestruction, 1);
    EXPECT_EQ(events.deleteObject, 0);
    EXPECT_EQ(events.destroyed, 0);
    EXPECT_EQ(object->getReferenceCount(), 0);

    // Still usable, and released for good once it agrees.
    object->keepAlive = false;
    SmartPtr<Tracked>(object).reset();
    EXPECT_EQ(events.beforeDestruction, 2);
    EXPECT_EQ(events.destroyed, 1);
}

TEST(Object, CastsAndAsString) {
    Events events;
    SmartPtr<Object> object(new DerivedTracked(events));
    EXPECT_FALSE(dynamicPointerCast<DerivedTracked>(object).isNull());
    EXPECT_TRUE(dynamicPointerCast<IOException>(object).isNull());
    EXPECT_EQ(object->getObject(), object.get());

    const std::string text = object->asString().getStdString();
    EXPECT_NE(text.find("DerivedTracked@0x"), std::string::npos) << text;
    char address[32];
    std::snprintf(address, sizeof address, "@%p", static_cast<void*>(object.get()));
    EXPECT_NE(text.find(address), std::string::npos) << text;
}

TEST(Exception, CloneAndRaiseKeepTheConcreteType) {
    const IOException io("disk \u00e9rror");
    std::unique_ptr<Exception> copy(io.clone());
    ASSERT_NE(dynamic_cast<IOException*>(copy.get()), nullptr);
    EXPECT_EQ(copy->getMessage(), io.getMessage());
    EXPECT_STREQ(copy->what(), "disk \u00e9rror");
    EXPECT_EQ(copy->getReferenceCount(), 0);
    EXPECT_THROW(copy->raise(), IOException);

    std::unique_ptr<Exception> eos(EOSException().clone());
    EXPECT_EQ(eos->getMessage(), "End of stream");
    EXPECT_THROW(eos->raise(), EOSException);

    std::unique_ptr<Exception> assertion(AssertionFailedException("failed").clone());
    try {
        assertion->raise();
    } catch (const IOException&) {
        ADD_FAILURE() << "raised as the wrong type";
    } catch (const AssertionFailedException& e) {
        EXPECT_EQ(e.getMessage(), "failed");
    }
}
