#include "mt/thread/SDLMutex.h"

#include <SDL2/SDL.h>

#include <new>

namespace mt::thread {

SDLMutex::SDLMutex() : handle(SDL_CreateMutex()) {}

SDLMutex::~SDLMutex() {
    if (handle) SDL_DestroyMutex(handle);
}

void SDLMutex::lock() {
    if (handle) SDL_LockMutex(handle);
}

void SDLMutex::unlock() {
    if (handle) SDL_UnlockMutex(handle);
}

Mutex* createMutex() {
    auto* mutex = new (std::nothrow) SDLMutex();
    if (mutex && !mutex->isValid()) {
        delete mutex;
        return nullptr;
    }
    return mutex;
}

}  // namespace mt::thread
