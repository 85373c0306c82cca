#pragma once
// Language files of arbitrary bytes, read the way the launcher reads them: through the file manager (its
// memory drive), a file stream and an 8096-byte cache. Every key that a plain reading of the same bytes
// finds must give the text that reading gives (the newest one for a key that comes twice), and formatting
// and expansion with a variable source must finish. Shared by the libFuzzer target and by the test that
// replays its corpus; a mismatch traps.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/localization/LocalizatorImpl.h"
#include "platform/MessageBox.h"

namespace fuzzing {

// The file's rules restated over a byte string: lines in chunks of up to 255 bytes, each chunk read up to
// its first NUL byte, leading blanks skipped on the first chunk, "#" comments, key, blanks, text, escapes.
class PlainLanguageFile {
  public:
    explicit PlainLanguageFile(const std::string& bytes) : bytes(bytes) {
        std::string chunk;
        while (readChunk(chunk))
            entry(chunk);
    }

    // Texts by key hash; a later entry replaces an earlier one.
    std::map<uint32_t, std::string> texts;
    std::map<uint32_t, std::string> keys;

  private:
    static bool blank(unsigned char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0;
    }

    bool readChunk(std::string& chunk) {
        chunk.clear();
        while (chunk.size() < 255) {
            if (position >= bytes.size())
                return !chunk.empty();
            char c = bytes[position++];
            if (c == '\n')
                break;
            if (c == '\r') {
                if (position < bytes.size() && bytes[position] == '\n')
                    ++position;
                break;
            }
            chunk += c;
        }
        return true;
    }

    void entry(std::string chunk) {
        std::string line;
        for (bool first = true;; first = false) {
            std::string part = chunk.substr(0, chunk.find('\0'));
            size_t start = 0;
            while (first && start < part.size() && blank(static_cast<unsigned char>(part[start])))
                ++start;
            if (start == part.size())
                break;
            line += part.substr(start);
            if (part.size() < 255 || !readChunk(chunk))
                break;
        }
        if (line.empty() || line[0] == '#')
            return;
        size_t keyEnd = 0;
        while (keyEnd < line.size() && !blank(static_cast<unsigned char>(line[keyEnd])))
            ++keyEnd;
        size_t value = keyEnd;
        while (value < line.size() && blank(static_cast<unsigned char>(line[value])))
            ++value;
        std::string text = line.substr(value);
        replaceAll(text, "\\n", "\n");
        replaceAll(text, "\\t", "\t");
        replaceAll(text, "\\r", "");
        std::string key = line.substr(0, keyEnd);
        uint32_t hash = mt::String(key.c_str()).hashCode();
        texts[hash] = text;
        keys[hash] = key;
    }

    static void replaceAll(std::string& text, const std::string& what, const std::string& with) {
        std::string result;
        size_t from = 0;
        for (size_t at; (at = text.find(what, from)) != std::string::npos; from = at + what.size())
            result += text.substr(from, at - from) + with;
        text = result + text.substr(from);
    }

    const std::string& bytes;
    size_t position = 0;
};

// Gives "[" + name + "]" for every name, and for names beginning with "self" a text that refers to them
// again.
struct BracketVariables : mt::localization::VariableSource {
    const mt::String& lookup(const mt::String& name) override {
        value = name.find("self") == 0 ? mt::String("{") + name + "}{" + name + "}"
                                       : mt::String("[") + name + "]";
        return value;
    }
    mt::String value;
};

inline mt::file::FileManager* languageFileManager() {
    static mt::ServiceRegistry registry;
    static mt::file::FileManager* instance = [] {
        mt::file::FileManager* created = mt::file::createFileManager();
        registry.registerService(created, mt::SERVICE_FILE_MANAGER);
        // Duplicate keys would put up a message box for every input.
        platform::setMessageBoxHandler(
            [](const std::string&, const std::string&) { return platform::kMessageBoxOk; });
        return created;
    }();
    mt::g_serviceRegistry = &registry;
    return instance;
}

inline int fuzzLanguageFile(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    mt::ServiceRegistry* previous = mt::g_serviceRegistry;
    mt::file::FileManager* files = languageFileManager();
    std::string copy(reinterpret_cast<const char*>(data), size);
    if (!files->registerMemoryBlock(copy.data(), static_cast<int32_t>(copy.size())))
        __builtin_trap();
    char path[64];
    std::snprintf(path, sizeof path, "mem:/0x%llx.%d",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(copy.data())),
                  static_cast<int>(copy.size()));
    std::unique_ptr<mt::localization::Localizator> localizator(mt::localization::createLocalizator(path));
    if (!localizator)
        __builtin_trap();

    PlainLanguageFile plain(copy);
    int checked = 0;
    for (const auto& [hash, key] : plain.keys) {
        if (++checked > 200)
            break;
        mt::String name(key.c_str());
        if (!localizator->hasText(name) || plain.texts[hash] != localizator->getText(name).cstr())
            __builtin_trap();
    }
    if (localizator->hasText("\x01 no such key \x01") !=
        plain.texts.count(mt::String("\x01 no such key \x01").hashCode()))
        __builtin_trap();

    // Formatting and expansion of the first key: bounded however many references its text holds.
    if (!plain.keys.empty()) {
        mt::String key(plain.keys.begin()->second.c_str());
        BracketVariables variables;
        localizator->setVariableSource(&variables);
        localizator->formatText(key, "%2{a}", "{b}%1");
        mt::String expanded = localizator->expandText(key);
        if (expanded.length() >
            localizator->getText(key).length() + mt::localization::LocalizatorImpl::MAX_EXPANSION_GROWTH)
            __builtin_trap();
        localizator->setVariableSource(nullptr);
    }
    localizator->unload();
    localizator->reload(path);
    if (!plain.keys.empty() &&
        plain.texts.begin()->second != localizator->getText(plain.keys.begin()->second.c_str()).cstr())
        __builtin_trap();
    localizator.reset();
    files->unregisterMemoryBlock(copy.data());
    mt::g_serviceRegistry = previous;
    return 0;
}

}  // namespace fuzzing
