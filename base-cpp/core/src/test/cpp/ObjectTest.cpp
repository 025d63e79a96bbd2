#include "base/core/Object.h"
#include "base/core/AssertionFailedException.h"
#include "base/core/EOSException.h"
#include "base/core/IOException.h"
#include "base/core/SmartPtr.h"

#include "ProcessTestSupport.h"

#include <memory>

using namespace base::core;
using base::core::test::failureOf;

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
        EXPECT_EQ(object->getReferenceCount(), 3);
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

TEST(Object, CastsAndAsString) {
    SmartPtr<Object> object(new EOSException());
    EXPECT_FALSE(dynamicPointerCast<IOException>(object).isNull());
    EXPECT_TRUE(dynamicPointerCast<AssertionFailedException>(object).isNull());
    char address[32];
    std::snprintf(address, sizeof address, "EOSException@%p", static_cast<void*>(object.get()));
    const std::string text = object->asString().getStdString();
    EXPECT_NE(text.find(address), std::string::npos) << text;
}

TEST(Exception, CloneAndRaiseKeepTheConcreteType) {
    std::unique_ptr<Exception> io(IOException("disk \u00e9rror").clone());
    EXPECT_STREQ(io->what(), "disk \u00e9rror");
    EXPECT_EQ(io->getReferenceCount(), 0);
    EXPECT_EQ(failureOf<IOException>([&] { io->raise(); }), "disk \u00e9rror");
    std::unique_ptr<Exception> eos(EOSException().clone());
    EXPECT_EQ(failureOf<EOSException>([&] { eos->raise(); }), "End of stream");
    std::unique_ptr<Exception> assertion(AssertionFailedException("failed").clone());
    EXPECT_EQ(failureOf<AssertionFailedException>([&] { assertion->raise(); }), "failed");
}
