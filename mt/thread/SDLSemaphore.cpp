#include "mt/thread/SDLSemaphore.h"

#include <SDL2/SDL.h>

#include <new>

namespace mt::thread {

SDLSemaphore::SDLSemaphore(uint32_t initialValue) : handle(SDL_CreateSemaphore(initialValue)) {}

SDLSemaphore::~SDLSemaphore() {
    if (handle) SDL_DestroySemaphore(handle);
}

void SDLSemaphore::wait() {
    if (handle) SDL_SemWait(handle);
}

void SDLSemaphore::post() {
    if (handle) SDL_SemPost(handle);
}

bool SDLSemaphore::tryWait() { return handle && SDL_SemTryWait(handle) == 0; }

bool SDLSemaphore::waitTimeout(uint32_t milliseconds) {
    return handle && SDL_SemWaitTimeout(handle, milliseconds) == 0;
}

uint32_t SDLSemaphore::getValue() { return handle ? SDL_SemValue(handle) : 0; }

Semaphore* createSemaphore(uint32_t initialValue) {
    auto* semaphore = new (std::nothrow) SDLSemaphore(initialValue);
    if (semaphore && !semaphore->isValid()) {
        delete semaphore;
        return nullptr;
    }
    return semaphore;
}

}  // namespace mt::thread
