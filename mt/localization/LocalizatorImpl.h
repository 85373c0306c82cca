#pragma once
#include "mt/localization/Localizator.h"
#include "mt/localization/TextTable.h"

namespace mt {
class InputStream;
}

namespace mt::localization {

// The localizator over a language file.
//
// The file is plain 8-bit text. Each line that is not blank and whose first non-whitespace byte is not "#"
// holds a key (a run of non-whitespace bytes), whitespace, and the text up to the end of the line, trailing
// whitespace included; "\n", "\t" and "\r" in the text become a line feed, a tab and nothing. Whitespace is
// space, tab, LF, CR and 0xA0. Lines are read in chunks of up to 255 bytes and joined, so any length works.
// A key that is already present (or shares its hash with one) is reported in a "Duplicate translation!!"
// message box and stored as well.
class LocalizatorImpl : public Localizator {
  public:
    static constexpr int LINE_CHUNK = 255;
    // Size of the read cache in front of the language file.
    static constexpr int CACHE_SIZE = 8096;
    // Bounds of one variable expansion: references replaced, and bytes the text may grow by.
    static constexpr int MAX_EXPANDED_REFERENCES = 256;
    static constexpr int MAX_EXPANSION_GROWTH = 1 << 20;

    // Stores the path and reads the file at once.
    explicit LocalizatorImpl(const String& path);
    ~LocalizatorImpl() override;

    void reload(const String& path) override;
    const String& getFileName() override { return path; }
    void setVariableSource(VariableSource* variables) override { source = variables; }
    void unload() override;
    const String& getText(const String& key) override;
    String formatText(const String& key, const String& first, const String& second) override;
    String formatText(const String& key, const String& first) override;
    String expandText(const String& key) override;
    bool hasText(const String& key) override;
    void addFile(const String& path) override;

    // Reads the entries of a language file from a stream into the current texts (a table is created when
    // there is none). Used for every file; public for callers that hold the data already.
    void parseStream(InputStream& input);
    // Whether the texts are loaded (they are dropped by unload).
    bool isLoaded() const { return table != nullptr; }

  private:
    void loadLanguageFile();
    void parseFile(const String& file);
    bool parseEntry(InputStream& input);
    void clearTable();
    bool ensureTable();
    // The text with its {name} references replaced through the source.
    String expandVariables(const String& text) const;

    String path;
    String missingText;
    bool reloaded;
    TextTable* table;
    VariableSource* source;
    char lineBuffer[LINE_CHUNK + 1];
};

}  // namespace mt::localization
