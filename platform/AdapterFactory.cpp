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

GraphicsAdapterFactory currentFactory() {
    std::lock_guard<std::mutex> lock(factoryMutex());
    return installedFactory();
}

}  // namespace

std::unique_ptr<GraphicsAdapter> createGraphicsAdapter() {
    GraphicsAdapterFactory factory = currentFactory();
    return factory ? factory() : hostGraphicsAdapter();
}

GraphicsAdapterFactory setGraphicsAdapterFactory(GraphicsAdapterFactory factory) {
    std::lock_guard<std::mutex> lock(factoryMutex());
    GraphicsAdapterFactory previous = std::move(installedFactory());
    installedFactory() = std::move(factory);
    return previous;
}

GraphicsAdapterQuery::GraphicsAdapterQuery() {
    if (!currentFactory()) {
        running_ = startHostAdapterQuery();
    }
}

GraphicsAdapterQuery::~GraphicsAdapterQuery() {
    if (running_ != nullptr) {
        finishHostAdapterQuery(running_);
    }
}

std::unique_ptr<GraphicsAdapter> GraphicsAdapterQuery::take() {
    if (running_ == nullptr) {
        return createGraphicsAdapter();
    }
    HostAdapterQuery* query = running_;
    running_ = nullptr;
    return finishHostAdapterQuery(query);
}

}  // namespace platform
