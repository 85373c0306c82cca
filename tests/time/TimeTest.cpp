#include "mt/time/Time.h"

#include <gtest/gtest.h>

#include <memory>

#include "mt/time/TimeWin32.h"
#include "platform/Clock.h"

using mt::time::Time;

namespace {

// A clock the tests move by hand, in microseconds.
uint64_t fakeNow = 0;
uint64_t fakeClock() { return fakeNow; }

class FakeClock : public testing::Test {
protected:
    void SetUp() override { platform::setMicrosecondClock(&fakeClock); }
    void TearDown() override { platform::setMicrosecondClock(nullptr); }
};

constexpr uint64_t WRAP_MS = 0x100000000ull;

}  // namespace

TEST(Time, HostClockNeverGoesBackwards) {
    uint32_t previous = Time::nowMilliseconds();
    uint32_t previousMicros = Time::nowMicroseconds();
    for (int i = 0; i < 100000; ++i) {
        uint32_t now = Time::nowMilliseconds();
        ASSERT_LT(now - previous, 1000u);  // unsigned difference: a step back would be huge
        previous = now;
    }
    // The microsecond clock is real: it advances within a millisecond.
    uint32_t microsAfter = Time::nowMicroseconds();
    EXPECT_NE(microsAfter, previousMicros);
}

TEST_F(FakeClock, MillisecondsAndMicrosecondsShareOneClock) {
    fakeNow = 123456789;
    EXPECT_EQ(Time::nowMilliseconds(), 123456u);
    EXPECT_EQ(Time::nowMicroseconds(), 123456789u);
    Time watch;
    fakeNow += 2500;
    EXPECT_EQ(watch.elapsedMilliseconds(), 3u);
    EXPECT_EQ(watch.elapsedMicroseconds(), 3289u);  // measured from the start's whole millisecond
}

TEST_F(FakeClock, StopwatchSurvivesTheCounterWrap) {
    fakeNow = (WRAP_MS - 10) * 1000;  // 10 ms before the 32-bit counter wraps
    Time watch;
    EXPECT_EQ(watch.elapsedMilliseconds(), 0u);
    fakeNow += 25 * 1000;
    EXPECT_EQ(Time::nowMilliseconds(), 15u);
    EXPECT_EQ(watch.elapsedMilliseconds(), 25u);
    EXPECT_EQ(watch.elapsedMicroseconds(), 25000u);
}

TEST_F(FakeClock, SetElapsedMovesTheStart) {
    fakeNow = 5000 * 1000;
    std::unique_ptr<Time> watch(mt::time::createTime());
    ASSERT_NE(watch, nullptr);
    EXPECT_EQ(watch->setElapsed(500), 4500u);
    EXPECT_EQ(watch->elapsedMilliseconds(), 500u);
    fakeNow += 1000;
    EXPECT_EQ(watch->elapsedMilliseconds(), 501u);
    fakeNow = 100 * 1000;  // setElapsed beyond the counter's value wraps the start too
    watch->setElapsed(300);
    EXPECT_EQ(watch->elapsedMilliseconds(), 300u);
}

TEST_F(FakeClock, PlatformClassIsATime) {
    fakeNow = 42000;
    mt::time::TimeWin32 watch;
    Time& base = watch;
    fakeNow = 50000;
    EXPECT_EQ(base.elapsedMilliseconds(), 8u);
}
