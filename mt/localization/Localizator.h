#pragma once
#include "mt/core/String.h"

namespace mt::localization {

// Resolves the {name} references that expandText and formatText replace. Owned by whoever sets it.
class VariableSource {
  public:
    virtual ~VariableSource() = default;
    // The text that replaces {name}.
    virtual const String& lookup(const String& name) = 0;
};

// The texts of one language, read from a language file (".lng") through the file manager and looked up by
// key. Texts are 8-bit strings in the language's code page. A key without a text gives "UNKNOWN_STRING".
class Localizator {
  public:
    virtual ~Localizator() = default;

    // Switches to another language file and loads it at once.
    virtual void reload(const String& path) = 0;
    virtual const String& getFileName() = 0;
    // Null switches variable expansion off.
    virtual void setVariableSource(VariableSource* source) = 0;
    // Drops the texts (only after a reload); the next lookup reads the file again.
    virtual void unload() = 0;
    // The text stored under the key, valid until the texts are dropped (reload, unload, destruction).
    virtual const String& getText(const String& key) = 0;
    // The text with its first "%1" replaced by first and its first "%2" by second, then variables expanded.
    virtual String formatText(const String& key, const String& first, const String& second) = 0;
    virtual String formatText(const String& key, const String& first) = 0;
    // The text with its {name} references replaced through the variable source.
    virtual String expandText(const String& key) = 0;
    virtual bool hasText(const String& key) = 0;
    // Reads one more language file into the current texts; the file name does not change.
    virtual void addFile(const String& path) = 0;
};

// A localizator that has already read the language file at path; null when out of memory.
Localizator* createLocalizator(const String& path);

}  // namespace mt::localization
