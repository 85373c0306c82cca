#pragma once
#include <cstdint>

#include "mt/core/String.h"
#include "mt/thread/Runnable.h"

namespace mt::thread {

class Thread {
public:
    virtual int getResult() = 0;
    virtual String getName() = 0;
    // Starts the runnable on a new thread; does nothing while a thread is held or without a runnable.
    virtual void start() = 0;
    virtual void setOption(int option) = 0;
    // Waits for the thread and returns its status; -1 when there is no thread to wait for.
    virtual int wait() = 0;
    virtual bool isRunning() = 0;
    virtual bool wasStarted() = 0;
    virtual ~Thread() = default;
};

class Mutex {
public:
    virtual ~Mutex() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

class Semaphore {
public:
    virtual void wait() = 0;
    virtual void post() = 0;
    virtual bool tryWait() = 0;
    virtual bool waitTimeout(uint32_t milliseconds) = 0;
    virtual uint32_t getValue() = 0;
    virtual ~Semaphore() = default;
};

// A new thread object for the runnable (not owned); it does not run until start. Null on failure.
Thread* createThread(Runnable* runnable, const String& name);
// Null when the host mutex or semaphore cannot be made.
Mutex* createMutex();
Semaphore* createSemaphore(uint32_t initialValue);

void sleepMilliseconds(uint32_t milliseconds);
// Sleeps whole milliseconds only: below 1000 microseconds it returns at once.
void sleepMicroseconds(uint32_t microseconds);
void yield();
// A number that tells the calling thread apart from every other thread of the process.
uint32_t currentThreadId();

// Holds a mutex for the lifetime of a scope.
class MutexLock {
public:
    explicit MutexLock(Mutex* mutex) : mutex(mutex) {
        if (mutex) mutex->lock();
    }
    ~MutexLock() {
        if (mutex) mutex->unlock();
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex* mutex;
};

}  // namespace mt::thread
