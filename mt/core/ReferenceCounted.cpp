#include "mt/core/ReferenceCounted.h"

namespace mt {

void ReferenceCounted::release(bool deleteAtZero) {
    // Calling a member through a null pointer is undefined in C++; callers use releaseReference for that.
    --refCount;
    if (deleteAtZero && refCount <= 0) delete this;
}

}  // namespace mt
