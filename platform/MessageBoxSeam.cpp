#include "platform/MessageBoxSeam.h"

#include <mutex>

// The replaceable message box handler, guarded because boxes may be shown from any thread.
namespace platform {
namespace {

std::mutex& handlerMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageBoxHandler& installedHandler() {
    static MessageBoxHandler handler;
    return handler;
}

}  // namespace

MessageBoxHandler installedMessageBoxHandler() {
    std::lock_guard<std::mutex> lock(handlerMutex());
    return installedHandler();
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(handlerMutex());
    MessageBoxHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

}  // namespace platform
