#pragma once
#include <cstdint>

namespace mt {

// Base of objects shared by several holders. The count is a plain integer: a shared object is only ever
// touched by one thread at a time. The creator's reference is taken by the derived class's constructor.
class ReferenceCounted {
public:
    ReferenceCounted() = default;
    ReferenceCounted(const ReferenceCounted&) = delete;
    ReferenceCounted& operator=(const ReferenceCounted&) = delete;
    virtual ~ReferenceCounted() = default;

    void addRef() { ++refCount; }
    // Drops one reference; with deleteAtZero the object destroys itself when no reference is left.
    // Safe to call through a null pointer: it then does nothing.
    void release(bool deleteAtZero);
    int getRefCount() const { return refCount; }

private:
    int32_t refCount = 0;
};

// Releases through a pointer that may be null (the usual form at call sites).
inline void releaseReference(ReferenceCounted* object, bool deleteAtZero) {
    if (object) object->release(deleteAtZero);
}

}  // namespace mt
