#pragma once

namespace mt {

// Ids of the process-wide services.
enum ServiceId : int {
    SERVICE_TEXTURE = 9,          // preferred pixel format of textures loaded from texture files
    SERVICE_GRAPHICS_DEVICE = 10, // the graphics device and renderer
    SERVICE_FILE_MANAGER = 18,    // the FileManager
    SERVICE_SINE_TABLE = 21,      // the sine table of rotated textures
};

// Process-wide table of service pointers by id. It owns nothing; it only remembers pointers.
class ServiceRegistry {
public:
    static constexpr int SLOT_COUNT = 1058;

    ServiceRegistry();

    // Stores the service in slot id, replacing what was there. A null service or an id outside the table
    // is refused with false.
    bool registerService(void* service, int id);
    // Clears slot id; false when it was empty or the id is outside the table.
    bool unregisterService(int id);
    // The pointer held in slot id, or null.
    void* getService(int id) const;

private:
    void* services[SLOT_COUNT];
};

// The registry of this process: null until the entry function creates and publishes it.
extern ServiceRegistry* g_serviceRegistry;

// The service under id in the published registry, or null when there is no registry.
inline void* findService(int id) { return g_serviceRegistry ? g_serviceRegistry->getService(id) : nullptr; }

}  // namespace mt
