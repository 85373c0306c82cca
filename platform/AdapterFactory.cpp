#include <mutex>

#include "platform/GraphicsAdapter.h"
#include "platform/HostGraphicsAdapter.h"

// The replaceable adapter query: the installed factory when there is one, else the host's.
namespace platform {
namespace {

std::mutex& factoryMutex() {
    static std::mutex mutex;
    return mutex;
}

GraphicsAdapterFactory& installedFactory() {
    static GraphicsAdapterFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<GraphicsAdapter> createGraphicsAdapter() {
    GraphicsAdapterFactory factory;
    {
        std::lock_guard<std::mutex> lock(factoryMutex());
        factory = installedFactory();
    }
    return factory ? factory() : hostGraphicsAdapter();
}

GraphicsAdapterFactory setGraphicsAdapterFactory(GraphicsAdapterFactory factory) {
    std::lock_guard<std::mutex> lock(factoryMutex());
    GraphicsAdapterFactory previous = std::move(installedFactory());
    installedFactory() = std::move(factory);
    return previous;
}

}  // namespace platform
