#include "mt/localization/LocalizatorImpl.h"

#include <cstring>
#include <new>
#include <string_view>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/FileInputStream.h"
#include "platform/MessageBox.h"

namespace mt::localization {
namespace {

inline bool isBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0;
}

// The text with its first occurrence of pattern (searched in text only) replaced.
String replaceFirst(const String& text, const char* pattern, const String& replacement) {
    int at = text.find(pattern);
    if (at < 0)
        return text;
    String result(text.cstr(), at);
    result.append(replacement);
    result.append(text.cstr() + at + std::strlen(pattern));
    return result;
}

}  // namespace

Localizator* createLocalizator(const String& path) {
    return new (std::nothrow) LocalizatorImpl(path);
}

LocalizatorImpl::LocalizatorImpl(const String& path)
    : path(path), missingText("UNKNOWN_STRING"), reloaded(false), table(nullptr), source(nullptr) {
    lineBuffer[0] = '\0';
    loadLanguageFile();
}

LocalizatorImpl::~LocalizatorImpl() {
    clearTable();
}

void LocalizatorImpl::clearTable() {
    delete table;
    table = nullptr;
}

bool LocalizatorImpl::ensureTable() {
    if (!table)
        table = new (std::nothrow) TextTable();
    return table != nullptr;
}

void LocalizatorImpl::reload(const String& newPath) {
    path = newPath;
    reloaded = true;
    clearTable();
    loadLanguageFile();
}

void LocalizatorImpl::unload() {
    if (reloaded)
        clearTable();
}

void LocalizatorImpl::loadLanguageFile() {
    clearTable();
    if (!ensureTable())
        return;
    parseFile(path);
}

void LocalizatorImpl::parseFile(const String& file) {
    auto* manager = static_cast<file::FileManager*>(findService(SERVICE_FILE_MANAGER));
    if (!manager)
        return;
    file::File* opened = manager->openFile(file, file::OPEN_READ, 0);
    if (!opened)
        return;  // a missing language file leaves the texts empty: every lookup gives the missing text
    {
        FileInputStream fileStream(opened, STREAM_NOT_OWNER);
        CachedInputStream cached(&fileStream, CACHE_SIZE);
        parseStream(cached);
    }
    delete opened;
}

void LocalizatorImpl::parseStream(InputStream& input) {
    if (!ensureTable())
        return;
    while (parseEntry(input)) {
    }
}

bool LocalizatorImpl::parseEntry(InputStream& input) {
    if (!input.readLine(lineBuffer, LINE_CHUNK + 1))
        return false;
    String line;
    for (bool firstChunk = true;; firstChunk = false) {
        int chunkLength = static_cast<int>(std::strlen(lineBuffer));
        const char* start = lineBuffer;
        if (firstChunk) {
            while (isBlank(static_cast<unsigned char>(*start)))
                ++start;
        }
        int rest = chunkLength - static_cast<int>(start - lineBuffer);
        if (rest == 0)
            break;
        line.append(start, rest);
        if (chunkLength < LINE_CHUNK)
            break;
        // A full chunk: the line may go on. The end of the input ends the line as well, and what was
        // collected is still an entry.
        if (!input.readLine(lineBuffer, LINE_CHUNK + 1))
            break;
    }
    if (line.isEmpty() || *line.cstr() == '#')
        return true;

    const char* text = line.cstr();
    const char* keyEnd = text;
    while (*keyEnd && !isBlank(static_cast<unsigned char>(*keyEnd)))
        ++keyEnd;
    const char* value = keyEnd;
    while (*value && isBlank(static_cast<unsigned char>(*value)))
        ++value;

    int keyLength = static_cast<int>(keyEnd - text);
    uint32_t hash = TextTable::hashKey(text, keyLength);
    if (table->contains(hash)) {
        String key(text, keyLength);
        platform::messageBox(key.cstr(), "Duplicate translation!!");
    }

    String entry(value);
    if (std::strchr(value, '\\')) {
        entry.replaceAll("\\n", "\n");
        entry.replaceAll("\\t", "\t");
        entry.replaceAll("\\r", "");
    }
    table->insert(hash, std::move(entry));
    return true;
}

const String& LocalizatorImpl::getText(const String& key) {
    if (!table)
        loadLanguageFile();
    const String* text = table ? table->find(TextTable::hashKey(key.cstr(), key.length())) : nullptr;
    return text ? *text : missingText;
}

bool LocalizatorImpl::hasText(const String& key) {
    if (!table)
        loadLanguageFile();
    return table && table->contains(TextTable::hashKey(key.cstr(), key.length()));
}

void LocalizatorImpl::addFile(const String& file) {
    // Without texts the current file is read first, so that it is not lost behind the added one.
    if (!table)
        loadLanguageFile();
    if (table)
        parseFile(file);
}

String LocalizatorImpl::formatText(const String& key, const String& first, const String& second) {
    const String& text = getText(key);
    // Both markers are looked up in the stored text, so a "%2" inside the first argument stays as it is.
    int at1 = text.find("%1");
    int at2 = text.find("%2");
    if (at1 < 0 || at2 < 0)
        return expandVariables(at1 >= 0 ? replaceFirst(text, "%1", first) : replaceFirst(text, "%2", second));
    bool oneFirst = at1 < at2;
    int lowAt = oneFirst ? at1 : at2;
    int highAt = oneFirst ? at2 : at1;
    String result(text.cstr(), lowAt);
    result.append(oneFirst ? first : second);
    result.append(text.cstr() + lowAt + 2, highAt - lowAt - 2);
    result.append(oneFirst ? second : first);
    result.append(text.cstr() + highAt + 2);
    return expandVariables(result);
}

String LocalizatorImpl::formatText(const String& key, const String& first) {
    return expandVariables(replaceFirst(getText(key), "%1", first));
}

String LocalizatorImpl::expandText(const String& key) {
    return expandVariables(getText(key));
}

// Every "{" of the text, from left to right, names the bytes up to the next "}" (at least one); the first
// occurrence of that reference in the result so far is replaced by what the source gives for the name. A
// replacement may itself hold references, which later steps then meet. The steps are counted by the "{"s of
// the text, so nothing loops; the count and the growth are also capped, so that a text with a great many
// references or a source whose texts refer to themselves cannot make the work or the result explode.
String LocalizatorImpl::expandVariables(const String& text) const {
    if (!source)
        return text;
    const char* begin = text.cstr();
    const char* end = begin + text.length();
    const int64_t longest = static_cast<int64_t>(text.length()) + MAX_EXPANSION_GROWTH;
    String result(text);
    int expanded = 0;
    for (const char* open = begin; open < end; ++open) {
        if (*open != '{')
            continue;
        const char* close =
            static_cast<const char*>(std::memchr(open + 1, '}', static_cast<size_t>(end - open - 1)));
        if (!close)
            break;  // no "}" after this "{", so none after any later one either
        if (close == open + 1)
            continue;  // "{}" names nothing
        if (expanded == MAX_EXPANDED_REFERENCES)
            break;
        ++expanded;
        std::string_view reference(open, static_cast<size_t>(close - open + 1));
        const String& value = source->lookup(String(open + 1, static_cast<int>(reference.size() - 2)));
        std::string_view current(result.cstr(), static_cast<size_t>(result.length()));
        size_t at = current.find(reference);
        if (at == std::string_view::npos)
            continue;
        int64_t length =
            static_cast<int64_t>(current.size()) - static_cast<int64_t>(reference.size()) + value.length();
        if (length > longest)
            break;
        String next(result.cstr(), static_cast<int>(at));
        next.append(value);
        size_t after = at + reference.size();
        next.append(result.cstr() + after, static_cast<int>(current.size() - after));
        if (next.length() != length)
            break;  // out of memory: keep what was expanded so far
        result = std::move(next);
    }
    return result;
}

}  // namespace mt::localization
