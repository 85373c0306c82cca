#pragma once

namespace mt::thread {

// The body of a thread: its result becomes the thread's result.
class Runnable {
public:
    virtual ~Runnable() = default;
    virtual int run() = 0;
};

}  // namespace mt::thread
