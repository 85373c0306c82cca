#pragma once
#include "mt/thread/Thread.h"

struct SDL_semaphore;

namespace mt::thread {

class SDLSemaphore : public Semaphore {
public:
    explicit SDLSemaphore(uint32_t initialValue);
    void wait() override;
    void post() override;
    bool tryWait() override;
    bool waitTimeout(uint32_t milliseconds) override;
    uint32_t getValue() override;
    ~SDLSemaphore() override;
    virtual bool isValid() { return handle != nullptr; }

private:
    SDL_semaphore* handle;
};

}  // namespace mt::thread
