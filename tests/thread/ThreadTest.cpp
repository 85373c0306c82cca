#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <vector>

#include "mt/thread/SDLThread.h"
#include "mt/thread/Thread.h"
#include "mt/time/Time.h"

using namespace mt::thread;

namespace {

struct ReturnSeven : Runnable {
    int run() override { return 7; }
};

// Blocks until released, so tests can observe a thread while its body runs.
struct Gate : Runnable {
    explicit Gate(Semaphore* open) : open(open) {}
    int run() override {
        entered = true;
        open->wait();
        return 3;
    }
    Semaphore* open;
    std::atomic<bool> entered{false};
};

void waitUntil(const std::atomic<bool>& flag) {
    for (int i = 0; i < 5000 && !flag; ++i) sleepMilliseconds(1);
}

}  // namespace

TEST(Thread, RunsTheBodyAndReportsItsResult) {
    ReturnSeven body;
    std::unique_ptr<Thread> thread(createThread(&body, "seven"));
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->getName(), "seven");
    EXPECT_FALSE(thread->wasStarted());
    EXPECT_EQ(thread->wait(), -1);  // never started
    thread->start();
    EXPECT_TRUE(thread->wasStarted());
    EXPECT_EQ(thread->wait(), 7);
    EXPECT_EQ(thread->wait(), -1);  // the status is returned once
    EXPECT_EQ(thread->getResult(), 7);
    EXPECT_FALSE(thread->isRunning());
}

TEST(Thread, IsRunningWhileTheBodyRunsAndCanBeStartedAgain) {
    std::unique_ptr<Semaphore> open(createSemaphore(0));
    Gate body(open.get());
    std::unique_ptr<Thread> thread(createThread(&body, "gate"));
    thread->start();
    waitUntil(body.entered);
    EXPECT_TRUE(thread->isRunning());
    thread->start();  // a second start while the thread is held does nothing
    open->post();
    EXPECT_EQ(thread->wait(), 3);
    EXPECT_FALSE(thread->isRunning());

    body.entered = false;
    open->post();
    thread->start();
    EXPECT_EQ(thread->wait(), 3);
    EXPECT_TRUE(thread->wasStarted());
}

TEST(Thread, WithoutRunnableNothingStarts) {
    std::unique_ptr<Thread> thread(createThread(nullptr, "empty"));
    thread->start();
    EXPECT_FALSE(thread->wasStarted());
    EXPECT_FALSE(thread->isRunning());
    EXPECT_EQ(thread->wait(), -1);
}

TEST(Thread, DestroyingAnUnwaitedThreadWaitsForItsBody) {
    std::unique_ptr<Semaphore> open(createSemaphore(0));
    auto body = std::make_unique<Gate>(open.get());
    auto* thread = createThread(body.get(), "unwaited");
    thread->start();
    waitUntil(body->entered);
    open->post();
    delete thread;  // must not return before the body has finished with `body`
    body.reset();
}

TEST(Thread, CurrentThreadIdTellsThreadsApart) {
    struct RecordId : Runnable {
        int run() override {
            id = currentThreadId();
            return 0;
        }
        uint32_t id = 0;
    };
    std::vector<RecordId> bodies(8);
    std::vector<std::unique_ptr<Thread>> threads;
    for (auto& body : bodies) {
        threads.emplace_back(createThread(&body, "id"));
        threads.back()->start();
    }
    for (auto& thread : threads) thread->wait();
    std::set<uint32_t> ids{currentThreadId()};
    for (auto& body : bodies) ids.insert(body.id);
    EXPECT_EQ(ids.size(), bodies.size() + 1);
    EXPECT_EQ(currentThreadId(), currentThreadId());
}

TEST(Semaphore, CountsPostsAndWaits) {
    std::unique_ptr<Semaphore> semaphore(createSemaphore(0));
    ASSERT_NE(semaphore, nullptr);
    EXPECT_FALSE(semaphore->tryWait());
    semaphore->post();
    EXPECT_EQ(semaphore->getValue(), 1u);
    EXPECT_TRUE(semaphore->tryWait());
    EXPECT_EQ(semaphore->getValue(), 0u);
    EXPECT_FALSE(semaphore->waitTimeout(20));
    std::unique_ptr<Semaphore> two(createSemaphore(2));
    EXPECT_TRUE(two->waitTimeout(0));
    EXPECT_TRUE(two->tryWait());
    EXPECT_FALSE(two->tryWait());
}

TEST(Semaphore, WakesAWaiterOnAnotherThread) {
    struct Ping : Runnable {
        int run() override {
            for (int i = 0; i < 100; ++i) {
                request->wait();
                reply->post();
            }
            return 0;
        }
        Semaphore* request = createSemaphore(0);
        Semaphore* reply = createSemaphore(0);
        ~Ping() override {
            delete request;
            delete reply;
        }
    } ping;
    std::unique_ptr<Thread> thread(createThread(&ping, "ping"));
    thread->start();
    int answered = 0;
    for (int i = 0; i < 100; ++i) {
        ping.request->post();
        if (ping.reply->waitTimeout(5000)) ++answered;
    }
    EXPECT_EQ(thread->wait(), 0);
    EXPECT_EQ(answered, 100);
}

TEST(Mutex, ExcludesConcurrentIncrements) {
    struct Adder : Runnable {
        int run() override {
            for (int i = 0; i < 20000; ++i) {
                MutexLock lock(mutex);
                int read = *counter;  // a non-atomic read-modify-write that only the lock keeps whole
                *counter = read + 1;
            }
            return 0;
        }
        Mutex* mutex = nullptr;
        int* counter = nullptr;
    };
    std::unique_ptr<Mutex> mutex(createMutex());
    ASSERT_NE(mutex, nullptr);
    int counter = 0;
    std::vector<Adder> adders(4);
    std::vector<std::unique_ptr<Thread>> threads;
    for (auto& adder : adders) {
        adder.mutex = mutex.get();
        adder.counter = &counter;
        threads.emplace_back(createThread(&adder, "adder"));
        threads.back()->start();
    }
    for (auto& thread : threads) thread->wait();
    EXPECT_EQ(counter, 80000);
}

TEST(Sleep, MicrosecondsBelowOneMillisecondDoNotSleep) {
    mt::time::Time watch;
    for (int i = 0; i < 50; ++i) sleepMicroseconds(999);
    EXPECT_LT(watch.elapsedMilliseconds(), 20u);  // 50 real sleeps would take at least 50 ms
    uint32_t before = mt::time::Time::nowMilliseconds();
    sleepMicroseconds(2500);
    EXPECT_GE(mt::time::Time::nowMilliseconds() - before, 2u);
    yield();
}
