#pragma once
#include "mt/thread/Thread.h"

struct SDL_mutex;

namespace mt::thread {

class SDLMutex : public Mutex {
public:
    SDLMutex();
    ~SDLMutex() override;
    void lock() override;
    void unlock() override;
    virtual bool isValid() { return handle != nullptr; }

private:
    SDL_mutex* handle;
};

}  // namespace mt::thread
