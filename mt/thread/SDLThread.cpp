#include "mt/thread/SDLThread.h"

#include <SDL2/SDL.h>

#include <new>

namespace mt::thread {

SDLThread::SDLThread(Runnable* runnable, const String& name)
    : name(name), runnable(runnable), handle(nullptr), running(false), result(0), started(false) {}

SDLThread::~SDLThread() {
    running = false;
    if (handle) SDL_WaitThread(handle, nullptr);
}

int SDLThread::entry(void* self) {
    auto* thread = static_cast<SDLThread*>(self);
    if (!thread->runnable) return -1;
    int status = thread->runnable->run();
    thread->result = status;
    thread->running = false;
    return status;
}

void SDLThread::start() {
    if (handle || !runnable) return;
    running = true;
    started = true;
    handle = SDL_CreateThread(&SDLThread::entry, name.cstr(), this);
    // No thread exists when creation failed, so none can be running.
    if (!handle) running = false;
}

int SDLThread::wait() {
    if (!handle) return -1;
    int status = -1;
    SDL_WaitThread(handle, &status);
    handle = nullptr;
    return status;
}

int SDLThread::getResult() { return result; }
String SDLThread::getName() { return name; }
void SDLThread::setOption(int) {}
bool SDLThread::isRunning() { return running; }
bool SDLThread::wasStarted() { return started; }

Thread* createThread(Runnable* runnable, const String& name) { return new (std::nothrow) SDLThread(runnable, name); }

void sleepMilliseconds(uint32_t milliseconds) { SDL_Delay(milliseconds); }
// Below one millisecond nothing is waited: SDL_Delay(0) would still give the processor away (on Windows it
// is Sleep(0)), which on a busy machine takes milliseconds.
void sleepMicroseconds(uint32_t microseconds) {
    if (microseconds >= 1000) SDL_Delay(microseconds / 1000);
}
void yield() { SDL_Delay(0); }

uint32_t currentThreadId() {
    // The host's thread ids are 64-bit; a per-process counter gives every thread its own 32-bit number
    // that is never handed out twice.
    static std::atomic<uint32_t> nextId{1};
    thread_local uint32_t id = nextId.fetch_add(1);
    return id;
}

}  // namespace mt::thread
