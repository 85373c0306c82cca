#include "mt/core/ServiceRegistry.h"

namespace mt {

ServiceRegistry* g_serviceRegistry = nullptr;

namespace {
bool isValidId(int id) { return id >= 0 && id < ServiceRegistry::SLOT_COUNT; }
}  // namespace

ServiceRegistry::ServiceRegistry() {
    for (void*& slot : services) slot = nullptr;
}

bool ServiceRegistry::registerService(void* service, int id) {
    if (!service || !isValidId(id)) return false;
    services[id] = service;
    return true;
}

bool ServiceRegistry::unregisterService(int id) {
    if (!isValidId(id) || !services[id]) return false;
    services[id] = nullptr;
    return true;
}

void* ServiceRegistry::getService(int id) const { return isValidId(id) ? services[id] : nullptr; }

}  // namespace mt
