#include "mt/core/ReferenceCounted.h"

#include <gtest/gtest.h>

namespace {

struct Tracked : mt::ReferenceCounted {
    explicit Tracked(bool* destroyed) : destroyed(destroyed) { addRef(); }
    ~Tracked() override { *destroyed = true; }
    bool* destroyed;
};

}  // namespace

TEST(ReferenceCounted, ReleaseDeletesAtZeroOnlyWhenAsked) {
    bool destroyed = false;
    auto* object = new Tracked(&destroyed);
    EXPECT_EQ(object->getRefCount(), 1);
    object->addRef();
    object->release(true);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->getRefCount(), 1);
    object->release(false);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->getRefCount(), 0);
    // From a count of 0, one more reference and its release with the flag delete the object.
    object->addRef();
    object->release(true);
    EXPECT_TRUE(destroyed);
}

TEST(ReferenceCounted, ReleasingANullObjectDoesNothing) {
    mt::releaseReference(nullptr, true);
    bool destroyed = false;
    auto* object = new Tracked(&destroyed);
    mt::releaseReference(object, true);
    EXPECT_TRUE(destroyed);
}
