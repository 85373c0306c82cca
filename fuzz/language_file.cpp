// Language files of arbitrary bytes, read the way the launcher reads them: through the file manager (its
// memory drive), a file stream and an 8096-byte cache. Then lookups and formatting of keys from the data.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/localization/LocalizatorImpl.h"
#include "platform/MessageBox.h"

namespace {

struct Variables : mt::localization::VariableSource {
    const mt::String& lookup(const mt::String& name) override {
        value = mt::String("[") + name + "]";
        return value;
    }
    mt::String value;
};

mt::file::FileManager* manager() {
    static mt::ServiceRegistry registry;
    static mt::file::FileManager* instance = [] {
        mt::file::FileManager* created = mt::file::createFileManager();
        registry.registerService(created, mt::SERVICE_FILE_MANAGER);
        mt::g_serviceRegistry = &registry;
        // Duplicate keys would put up a message box for every input.
        platform::setMessageBoxHandler(
            [](const std::string&, const std::string&) { return platform::kMessageBoxOk; });
        return created;
    }();
    return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    mt::file::FileManager* files = manager();
    std::string copy(reinterpret_cast<const char*>(data), size);
    if (!files->registerMemoryBlock(copy.data(), static_cast<int32_t>(copy.size())))
        return 0;
    char path[64];
    std::snprintf(path, sizeof path, "mem:/0x%llx.%d",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(copy.data())),
                  static_cast<int>(copy.size()));
    std::unique_ptr<mt::localization::Localizator> localizator(mt::localization::createLocalizator(path));
    if (!localizator)
        __builtin_trap();

    // The first run of non-blank bytes is a key when the data starts with an entry.
    size_t end = 0;
    while (end < size && end < 300 && data[end] > ' ' && data[end] != 0xA0)
        ++end;
    mt::String key(copy.c_str(), static_cast<int>(end));
    const mt::String& text = localizator->getText(key);
    if (localizator->hasText(key) != (&text != &localizator->getText("\x01 no such key \x01")))
        __builtin_trap();
    Variables variables;
    localizator->setVariableSource(&variables);
    localizator->formatText(key, "%2{a}", "{b}%1");
    localizator->expandText(key);
    localizator->unload();
    localizator->reload(path);
    localizator->getText(key);
    localizator.reset();
    files->unregisterMemoryBlock(copy.data());
    return 0;
}
