#pragma once
#include <atomic>

#include "mt/thread/Thread.h"

struct SDL_Thread;

namespace mt::thread {

// A Thread on SDL's threads. The state flags are atomics because other threads poll them while the body runs.
class SDLThread : public Thread {
public:
    SDLThread(Runnable* runnable, const String& name);
    int getResult() override;
    String getName() override;
    void start() override;
    void setOption(int option) override;
    int wait() override;
    bool isRunning() override;
    bool wasStarted() override;
    // A thread that was started and never waited for is waited for here: the host cannot kill a thread
    // safely, and a killed thread could leave locks held and memory half written.
    ~SDLThread() override;

private:
    static int entry(void* self);

    String name;
    Runnable* runnable;
    SDL_Thread* handle;
    std::atomic<bool> running;
    std::atomic<int> result;
    std::atomic<bool> started;
};

}  // namespace mt::thread
