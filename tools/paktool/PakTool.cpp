#include "tools/paktool/PakTool.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "mt/file/FilePackFile.h"
#include "mt/file/PackArchive.h"
#include "mt/file/PackWriter.h"
#include "platform/FileReplace.h"
#include "platform/HostFile.h"
#include "tools/common/ProgressLine.h"
#include "tools/common/Utf8Path.h"
#include "tools/paktool/MemberCheck.h"
#include "tools/paktool/MemberPattern.h"

namespace fs = std::filesystem;

namespace paktool {

namespace {

const char USAGE[] =
    "Usage: paktool COMMAND ARCHIVE [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  create ARCHIVE [--base DIR] [--store PATTERN] [--level N] [--exclude PATTERN] [-v] [-q] PATH...\n"
    "      Packs the files and directory trees at PATH. Members are named by their path relative to DIR\n"
    "      (default: the current directory) with '/' separators, deflated when that makes them smaller,\n"
    "      and listed in a 'filepack.list' member (the name list).\n"
    "  list ARCHIVE [-l | --json]\n"
    "      Shows the member names, one a line (by hash, as #XXXXXXXX, when the archive does not list\n"
    "      them). Exits with 1 when a directory row is damaged.\n"
    "  extract ARCHIVE [--to DIR | -o FILE] [--exclude PATTERN] [-v] [-q] [NAME...]\n"
    "      Writes the named members (every listed member without NAME) below DIR (default: the current\n"
    "      directory) under their stored names, or one member to FILE ('-': standard output). Each member\n"
    "      is checked as verify checks it; a damaged one is not written and the exit status is 1.\n"
    "  verify ARCHIVE [-v] [-q]\n"
    "      Checks the directory and every member: stored bytes inside the archive, deflated data that\n"
    "      inflates to the recorded size with a matching check value, every listed name present.\n"
    "  -h, --help\n"
    "      Shows this text.\n"
    "  --version\n"
    "      Shows the version.\n"
    "\n"
    "Options (each command takes only its own; '--' ends the options):\n"
    "  --base DIR         create: name members relative to DIR.\n"
    "  --store PATTERN    create: store matching members plainly, without trying to deflate them (for\n"
    "                     already compressed files: --store '*.png' --store '*.ogg'). Repeatable.\n"
    "  --level N          create: zlib compression level, 0 (store everything) to 9 (default 9).\n"
    "  --exclude PATTERN  create, extract: leave out matching members. Repeatable.\n"
    "  --to DIR           extract: write below DIR.\n"
    "  -o, --output FILE  extract: write the one selected member to FILE, '-' for standard output.\n"
    "  -l, --long         list: size, stored size, ratio (stored / size), method and name of every row.\n"
    "  --json             list: the rows as one JSON object.\n"
    "  -v, --verbose      create, extract, verify: name each member as it is done.\n"
    "  -q, --quiet        create, extract, verify: no progress line and no summary line.\n"
    "\n"
    "NAME and PATTERN: a member name, a folder ('lang' or 'lang/' for everything below it), or a wildcard\n"
    "pattern ('*' any characters, '/' included; '?' one character). Names match without regard to ASCII\n"
    "case, and '\\' counts as '/'. Member counts leave out the name list and say whether there is one.\n"
    "A progress line is shown on standard error while create, extract and verify work, when it is a\n"
    "terminal.\n"
    "\n"
    "Exit status: 0 success; 1 an operation failed (a file cannot be read or written, a damaged archive or\n"
    "member, a member that is not there); 2 a wrong command line (unknown command or option, an option of\n"
    "another command, a missing or wrong value).\n";

// The options of each command; any other option is an error that names the command it belongs to.
const std::vector<toolsupport::CommandSpec> kCommands = {
    {"create",
     {{"--base", nullptr, "DIR"},
      {"--store", nullptr, "PATTERN"},
      {"--level", nullptr, "N"},
      {"--exclude", nullptr, "PATTERN"},
      {"--verbose", "-v", nullptr},
      {"--quiet", "-q", nullptr}}},
    {"list", {{"--long", "-l", nullptr}, {"--json", nullptr, nullptr}}},
    {"extract",
     {{"--to", nullptr, "DIR"},
      {"--output", "-o", "FILE"},
      {"--exclude", nullptr, "PATTERN"},
      {"--verbose", "-v", nullptr},
      {"--quiet", "-q", nullptr}}},
    {"verify", {{"--verbose", "-v", nullptr}, {"--quiet", "-q", nullptr}}},
};

std::string hashName(uint32_t hash) {
    char text[16];
    std::snprintf(text, sizeof text, "#%08X", hash);
    return text;
}

// A member name that can be written below a directory: relative, without empty, "." or ".." components.
bool safeRelativeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\')
        return false;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\')
            continue;
        std::string component = name.substr(start, i - start);
        if (component.empty() || component == "." || component == "..")
            return false;
        start = i + 1;
    }
    return true;
}

std::string pathName(const fs::path& path) {
    return toolsupport::utf8Name(path);
}

std::string toString(const mt::String& text) {
    return std::string(text.cstr(), static_cast<size_t>(text.length()));
}

// A JSON string. Bytes that are not UTF-8 are written as the code points of the same value.
std::string jsonString(const std::string& text) {
    std::string json = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char escaped[8];
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else if (c < 0x80) {
            json += static_cast<char>(c);
        } else {
            // A whole UTF-8 sequence passes as it is.
            const size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
            bool valid = length > 0 && i + length <= text.size();
            for (size_t k = 1; valid && k < length; ++k)
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            if (valid) {
                json.append(text, i, length);
                i += length - 1;
            } else {
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                json += escaped;
            }
        }
    }
    return json + "\"";
}

// "5 members and the name list", "1 member, no name list": the name list is never counted as a member.
std::string memberCount(int64_t members, bool nameList) {
    return std::to_string(members) + (members == 1 ? " member" : " members") +
           (nameList ? " and the name list" : ", no name list");
}

// An open archive with the names its list gives each hash.
struct ArchiveView {
    mt::file::PackArchive archive{nullptr};
    std::map<uint32_t, std::string> names;
    std::vector<std::string> listed;  // in list order
    uint32_t listHash = mt::file::packNameHash(mt::file::PACK_LIST_NAME);
    bool hasList = false;

    bool isList(const mt::file::PackEntry& entry) const { return entry.nameHash == listHash; }
    std::string label(uint32_t hash) const {
        auto name = names.find(hash);
        return name != names.end() ? name->second : hashName(hash);
    }
    int64_t memberCount() const {
        int64_t count = 0;
        for (int32_t i = 0; i < archive.getEntryCount(); ++i)
            count += isList(archive.entryAt(i)) ? 0 : 1;
        return count;
    }
};

// How many bytes the archive file lacks for its directory's members: 0 when each member's stored bytes lie
// inside it. Rows whose sizes cannot be true are left to the member checks.
int64_t missingBytes(const mt::file::PackArchive& archive) {
    int64_t end = 0;
    for (int32_t i = 0; i < archive.getEntryCount(); ++i) {
        const mt::file::PackEntry& entry = archive.entryAt(i);
        if (entry.storedSize >= 0 && entry.size >= 0)
            end = std::max(end, static_cast<int64_t>(entry.offset) + entry.storedSize);
    }
    return std::max<int64_t>(0, end - archive.getFileSize());
}

// A member whose stored bytes run past the end of the archive file (and whose sizes are possible).
bool cutOff(const mt::file::PackArchive& archive, const mt::file::PackEntry& entry) {
    return entry.storedSize >= 0 && entry.size >= 0 &&
           static_cast<int64_t>(entry.offset) + entry.storedSize > archive.getFileSize();
}

// Reads the header of a file that does not open as an archive and says why, in one line.
std::string whyNotAnArchive(const std::string& path) {
    platform::HostFile* file = platform::hostFileOpen(path.c_str(), platform::HOST_FILE_READ);
    if (!file)
        return "cannot open '" + path + "'";
    const int64_t size = platform::hostFileSize(file);
    uint8_t header[12] = {};
    const int64_t got = platform::hostFileRead(file, header, sizeof header);
    platform::hostFileClose(file);
    auto word = [&](int at) {
        return header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
               static_cast<uint32_t>(header[at + 3]) << 24;
    };
    if (got < 4 || word(0) != mt::file::PACK_MAGIC)
        return "'" + path + "' is not a pack archive";
    if (got < 8)
        return "'" + path + "' is truncated: " + std::to_string(8 - size) +
               " bytes of its header are missing";
    const int64_t directoryEnd = 8 + static_cast<int64_t>(word(4));
    if (directoryEnd > size)
        return "'" + path + "' is truncated: " + std::to_string(directoryEnd - size) +
               " bytes of its directory are missing";
    return "'" + path + "' has a damaged directory (its size or entry count is impossible)";
}

class Tool {
  public:
    Tool(FILE* out, FILE* err) : out(out), err(err) {}

    int fail(const std::string& message) {
        progressDone();
        std::fprintf(err, "paktool: %s\n", message.c_str());
        return EXIT_FAILED;
    }
    int usageError(const std::string& message) {
        std::fprintf(err, "paktool: %s (see paktool --help)\n", message.c_str());
        return EXIT_USAGE;
    }

    int create(const toolsupport::CommandLine& line);
    int list(const toolsupport::CommandLine& line);
    int extract(const toolsupport::CommandLine& line);
    int verify(const toolsupport::CommandLine& line);

  private:
    bool openArchive(const std::string& path, ArchiveView& view);
    // Every file below the given paths, named relative to base, without the excluded names and the archive.
    bool collectFiles(const std::vector<std::string>& paths, const std::string& base,
                      const std::string& archivePath, const std::vector<std::string>& excluded,
                      std::map<std::string, fs::path>& files);
    // The members that the names select, minus the excluded ones, each once; false when a name selects
    // nothing or a listed member is missing (each said on err).
    bool chooseMembers(ArchiveView& view, const std::string& archivePath,
                       const std::vector<std::string>& wanted, const std::vector<std::string>& excluded,
                       std::vector<std::pair<const mt::file::PackEntry*, std::string>>& chosen);
    bool extractMember(ArchiveView& view, const mt::file::PackEntry& entry, const std::string& name,
                       const std::string& target, const std::string& archivePath);
    void listLong(const ArchiveView& view);
    void listJson(const ArchiveView& view, const std::string& path);
    void progressDone() {
        if (progress)
            progress->finish();
    }

    FILE* out;
    FILE* err;
    std::unique_ptr<toolsupport::ProgressLine> progress;
    // Bytes of member data done and to do, for the progress line of extract and verify.
    int64_t totalBytes = 0;
    int64_t doneBytes = 0;
};

bool Tool::openArchive(const std::string& path, ArchiveView& view) {
    // The archive's own open would say "File not found" on stdout; the tool says it on stderr instead.
    platform::HostFile* probe = platform::hostFileOpen(path.c_str(), platform::HOST_FILE_READ);
    if (!probe) {
        fail("cannot open '" + path + "'");
        return false;
    }
    platform::hostFileClose(probe);
    if (!view.archive.open(path.c_str())) {
        fail(whyNotAnArchive(path));
        return false;
    }
    view.names[view.listHash] = mt::file::PACK_LIST_NAME;
    view.hasList = view.archive.findEntry(view.listHash) != nullptr;
    for (const mt::String& name : view.archive.readNameList())
        view.listed.push_back(toString(name));
    // A name labels the entry its lookup reaches and, failing that, the entry under its plain hash (where
    // writers that did not hash names as lookups do put names that start with '.').
    for (const std::string& name : view.listed)
        view.names.emplace(mt::file::packLookupHash(name.c_str()), name);
    for (const std::string& name : view.listed)
        view.names.emplace(mt::file::packNameHash(name.c_str()), name);
    return true;
}

bool matchesAny(const std::vector<std::string>& patterns, const std::string& name) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& pattern) { return selectsMember(pattern, name); });
}

// Names are found without regard to ASCII case, so two that differ only in case cannot both be members.
// Returns the message for the first such pair, or "".
std::string caseClash(const std::map<std::string, fs::path>& files) {
    std::map<std::string, std::string> folded;
    for (const auto& [name, file] : files) {
        std::string key = name;
        std::transform(key.begin(), key.end(), key.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        auto [other, added] = folded.emplace(key, name);
        if (!added)
            return "'" + other->second + "' and '" + name +
                   "' differ only in case; member names match without regard to case, so an archive can hold "
                   "only one of them";
    }
    return "";
}

bool Tool::collectFiles(const std::vector<std::string>& paths, const std::string& base,
                        const std::string& archivePath, const std::vector<std::string>& excluded,
                        std::map<std::string, fs::path>& files) {
    std::error_code error;
    if (!fs::is_directory(toolsupport::utf8Path(base), error)) {
        fail("base '" + base + "' is not a directory");
        return false;
    }
    fs::path baseDirectory = fs::absolute(toolsupport::utf8Path(base), error).lexically_normal();
    // The archive as a file, whatever the spelling of its path: an input that is the same file is refused
    // when named, and passed over when met in a directory.
    platform::HostFileIdentity archiveFile;
    bool archiveExists = platform::hostFileIdentity(archivePath.c_str(), archiveFile);
    auto isArchive = [&](const fs::path& file) {
        platform::HostFileIdentity identity;
        return archiveExists && platform::hostFileIdentity(pathName(file).c_str(), identity) &&
               identity == archiveFile;
    };
    for (const std::string& given : paths) {
        fs::path path = fs::absolute(toolsupport::utf8Path(given), error).lexically_normal();
        std::vector<fs::path> found;
        if (fs::is_directory(path, error)) {
            for (auto it = fs::recursive_directory_iterator(path, error);
                 !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
                if (it->is_regular_file(error))
                    found.push_back(it->path().lexically_normal());
            }
            if (error) {
                fail("cannot read directory '" + given + "': " + error.message());
                return false;
            }
        } else if (fs::is_regular_file(path, error)) {
            if (isArchive(path)) {
                fail("'" + given + "' is the archive '" + archivePath + "' itself");
                return false;
            }
            found.push_back(path);
        } else {
            fail("'" + given + "' is not a file or directory");
            return false;
        }
        for (const fs::path& file : found) {
            if (isArchive(file))
                continue;  // never pack the archive into itself
            fs::path relative = file.lexically_relative(baseDirectory);
            std::string name = pathName(relative);
            if (relative.empty() || name == ".." || name.rfind("../", 0) == 0) {
                fail("'" + pathName(file) + "' is outside the base directory '" + base + "'");
                return false;
            }
            if (!matchesAny(excluded, name))
                files.emplace(name, file);
        }
    }
    return true;
}

int Tool::create(const toolsupport::CommandLine& line) {
    int level = 9;
    if (line.has("--level")) {
        const std::string text = line.value("--level");
        if (text.size() != 1 || text[0] < '0' || text[0] > '9')
            return usageError("--level needs a number from 0 to 9, not '" + text + "'");
        level = text[0] - '0';
    }
    const std::vector<std::string> stored = line.values("--store");
    const bool quiet = line.has("--quiet");
    std::vector<std::string> paths = line.operands;
    if (paths.empty())
        return usageError("create needs an archive and at least one path");
    std::string archivePath = paths.front();
    paths.erase(paths.begin());
    if (paths.empty())
        return usageError("create needs at least one path to pack");

    // Every file below the given paths, each once, in name order.
    std::map<std::string, fs::path> files;
    if (!collectFiles(paths, line.value("--base", "."), archivePath, line.values("--exclude"), files))
        return EXIT_FAILED;
    if (const std::string clash = caseClash(files); !clash.empty())
        return fail(clash);

    mt::file::PackWriter writer(level > 0, level);
    for (const auto& [name, file] : files) {
        if (!writer.addFile(name.c_str(), pathName(file).c_str(), !matchesAny(stored, name)))
            return fail(writer.getError());
        if (line.has("--verbose"))
            std::fprintf(out, "%s\n", name.c_str());
    }
    progress = std::make_unique<toolsupport::ProgressLine>(err, "paktool: create", quiet);
    writer.setProgress([this](int64_t done, int64_t total, const mt::String& name) {
        progress->update(done, total, toString(name));
    });
    const bool written = writer.write(archivePath.c_str());
    progressDone();
    if (!written)
        return fail(writer.getError());
    if (!quiet)
        std::fprintf(out, "%s: %s\n", archivePath.c_str(),
                     memberCount(writer.getMemberCount(), true).c_str());
    return EXIT_OK;
}

const char* methodName(const mt::file::PackEntry& entry) {
    return !entry.sound ? "damaged" : entry.flags == 0 ? "stored" : "deflate";
}

// Stored bytes as a share of the size, "31%"; "-" for an empty member.
std::string ratio(int64_t size, int64_t stored) {
    if (size <= 0)
        return "-";
    return std::to_string(stored * 100 / size) + "%";
}

void Tool::listLong(const ArchiveView& view) {
    std::fprintf(out, "%10s %10s %6s  %-8s  %s\n", "size", "stored", "ratio", "method", "name");
    int64_t total = 0, stored = 0;
    for (int32_t i = 0; i < view.archive.getEntryCount(); ++i) {
        const mt::file::PackEntry& entry = view.archive.entryAt(i);
        const int64_t size = static_cast<uint32_t>(entry.size),
                      storedSize = static_cast<uint32_t>(entry.storedSize);
        std::fprintf(out, "%10lld %10lld %6s  %-8s  %s\n", static_cast<long long>(size),
                     static_cast<long long>(storedSize), ratio(size, storedSize).c_str(), methodName(entry),
                     view.label(entry.nameHash).c_str());
        total += size;
        stored += storedSize;
    }
    std::fprintf(out, "%10lld %10lld %6s  %s\n", static_cast<long long>(total),
                 static_cast<long long>(stored), ratio(total, stored).c_str(),
                 memberCount(view.memberCount(), view.hasList).c_str());
}

void Tool::listJson(const ArchiveView& view, const std::string& path) {
    std::string json = "{\"archive\": " + jsonString(path) + ", \"members\": [";
    std::string nameList = "null";
    bool first = true;
    for (int32_t i = 0; i < view.archive.getEntryCount(); ++i) {
        const mt::file::PackEntry& entry = view.archive.entryAt(i);
        auto name = view.names.find(entry.nameHash);
        char hash[16];
        std::snprintf(hash, sizeof hash, "%08X", entry.nameHash);
        const std::string row =
            std::string("{\"name\": ") + (name != view.names.end() ? jsonString(name->second) : "null") +
            ", \"hash\": \"" + hash + "\", \"size\": " + std::to_string(static_cast<uint32_t>(entry.size)) +
            ", \"stored\": " + std::to_string(static_cast<uint32_t>(entry.storedSize)) + ", \"method\": \"" +
            methodName(entry) + "\"}";
        if (view.isList(entry) && nameList == "null") {
            nameList = row;
            continue;
        }
        json += (first ? "\n  " : ",\n  ") + row;
        first = false;
    }
    json +=
        "],\n \"nameList\": " + nameList + ", \"memberCount\": " + std::to_string(view.memberCount()) + "}\n";
    std::fputs(json.c_str(), out);
}

int Tool::list(const toolsupport::CommandLine& line) {
    if (line.operands.size() != 1)
        return usageError("list needs exactly one archive");
    if (line.has("--long") && line.has("--json"))
        return usageError("list takes -l or --json, not both");
    ArchiveView view;
    if (!openArchive(line.operands[0], view))
        return EXIT_FAILED;
    if (line.has("--json")) {
        listJson(view, line.operands[0]);
    } else if (line.has("--long")) {
        listLong(view);
    } else {
        for (int32_t i = 0; i < view.archive.getEntryCount(); ++i) {
            const mt::file::PackEntry& entry = view.archive.entryAt(i);
            if (!view.isList(entry))
                std::fprintf(out, "%s\n", view.label(entry.nameHash).c_str());
        }
    }
    int damaged = 0;
    for (int32_t i = 0; i < view.archive.getEntryCount(); ++i)
        damaged += view.archive.entryAt(i).sound ? 0 : 1;
    if (const int64_t missing = missingBytes(view.archive))
        return fail("'" + line.operands[0] + "' is truncated: " + std::to_string(missing) +
                    " bytes are missing");
    if (damaged > 0)
        return fail("'" + line.operands[0] + "' has " + std::to_string(damaged) +
                    " damaged directory row(s)");
    return EXIT_OK;
}

bool Tool::extractMember(ArchiveView& view, const mt::file::PackEntry& entry, const std::string& name,
                         const std::string& target, const std::string& archivePath) {
    const bool toStdout = target == "-";
    platform::ReplacementFile file;
    if (!toStdout) {
        if (platform::hostSameFile(target.c_str(), archivePath.c_str())) {
            fail("'" + target + "' is the archive itself; member '" + name + "' is not written over it");
            return false;
        }
        std::error_code error;
        fs::path parent = toolsupport::utf8Path(target).parent_path();
        if (!parent.empty())
            fs::create_directories(parent, error);
        // Written beside the target and renamed over it when complete, so a failure leaves an existing file.
        if (!file.begin(target.c_str())) {
            fail("cannot create '" + target + "'");
            return false;
        }
    }
    MemberCheck check = checkMember(view.archive, entry, [&](const uint8_t* bytes, size_t count) {
        doneBytes += static_cast<int64_t>(count);
        progress->update(doneBytes, totalBytes, name);
        return toStdout ? std::fwrite(bytes, 1, count, out) == count : file.write(bytes, count);
    });
    if (!check.problem.empty()) {
        fail("member '" + name + "' is damaged: it " + check.problem +
             (toStdout ? "" : "; nothing was written"));
        return false;
    }
    if (check.sinkFailed || (!toStdout && !file.commit())) {
        fail("cannot write '" + (toStdout ? std::string("standard output") : target) + "'");
        return false;
    }
    return true;
}

bool Tool::chooseMembers(ArchiveView& view, const std::string& archivePath,
                         const std::vector<std::string>& wanted, const std::vector<std::string>& excluded,
                         std::vector<std::pair<const mt::file::PackEntry*, std::string>>& chosen) {
    bool complete = true;
    std::set<uint32_t> taken;
    // Takes a member by name and lookup hash (its plain hash failing that); false when there is none.
    auto choose = [&](const std::string& name, uint32_t hash) {
        const mt::file::PackEntry* entry = view.archive.findEntry(hash);
        if (!entry)
            entry = view.archive.findEntry(hash = mt::file::packNameHash(name.c_str()));
        if (!entry || hash == view.listHash || !taken.insert(hash).second)
            return entry != nullptr;
        if (!matchesAny(excluded, name))
            chosen.emplace_back(entry, name);
        return true;
    };
    if (wanted.empty()) {
        for (const std::string& name : view.listed) {
            if (!choose(name, mt::file::packLookupHash(name.c_str()))) {
                complete = false;
                fail("listed member '" + name + "' is missing from '" + archivePath + "'");
            }
        }
        if (view.listed.empty()) {
            fail("'" + archivePath + "' lists no members; name the members to extract");
            return false;
        }
    }
    for (const std::string& pattern : wanted) {
        bool found = false;
        for (const std::string& name : view.listed) {
            if (selectsMember(pattern, name))
                found = choose(name, mt::file::packLookupHash(name.c_str())) || found;
        }
        // A name the list does not hold (or an archive without a list) is looked up by its hash.
        if (!found && !hasWildcard(pattern)) {
            const uint32_t hash = mt::file::packLookupHash(pattern.c_str());
            auto listedName = view.names.find(hash);
            found = choose(listedName != view.names.end() ? listedName->second : pattern, hash);
        }
        if (!found) {
            complete = false;
            fail("no member '" + pattern + "' in '" + archivePath + "'");
        }
    }
    return complete;
}

int Tool::extract(const toolsupport::CommandLine& line) {
    if (line.operands.empty())
        return usageError("extract needs an archive");
    if (line.has("--to") && line.has("--output"))
        return usageError("extract takes --to or -o, not both");
    const std::string archivePath = line.operands[0];
    const std::string directory = line.value("--to", ".");
    const std::string outputFile = line.value("--output");
    const bool verbose = line.has("--verbose");
    const std::vector<std::string> wanted(line.operands.begin() + 1, line.operands.end());
    if (line.has("--output") && wanted.empty())
        return usageError("-o needs the name of the member to write");

    ArchiveView view;
    if (!openArchive(archivePath, view))
        return EXIT_FAILED;

    // A cut-off archive is one message; the members it cuts off (the name list among them, maybe) are
    // passed over.
    int result = EXIT_OK;
    if (const int64_t missing = missingBytes(view.archive)) {
        result = fail("'" + archivePath + "' is truncated: " + std::to_string(missing) +
                      " bytes are missing; the members it cuts off are not written");
        if (wanted.empty() && view.listed.empty())
            return result;
    }

    // The members chosen, each once, in list order, under their stored names.
    std::vector<std::pair<const mt::file::PackEntry*, std::string>> chosen;
    if (!chooseMembers(view, archivePath, wanted, line.values("--exclude"), chosen))
        result = EXIT_FAILED;
    if (wanted.empty() && view.listed.empty())
        return result;
    if (!outputFile.empty() && chosen.size() != 1) {
        if (chosen.empty())
            return EXIT_FAILED;
        return usageError("-o writes one member, and " + std::to_string(chosen.size()) + " are selected");
    }

    progress = std::make_unique<toolsupport::ProgressLine>(err, "paktool: extract", line.has("--quiet"));
    totalBytes = 0;
    doneBytes = 0;
    for (const auto& [entry, name] : chosen)
        totalBytes += std::max(entry->size, 0);
    FILE* names = outputFile == "-" ? err : out;
    for (const auto& [entry, name] : chosen) {
        if (cutOff(view.archive, *entry))
            continue;
        std::string target = outputFile;
        if (target.empty()) {
            if (!safeRelativeName(name)) {
                result = fail("member name '" + name + "' would be written outside the target directory");
                continue;
            }
            target = pathName(toolsupport::utf8Path(directory) /
                              toolsupport::utf8Path(platform::hostPath(name.c_str())));
        }
        if (!extractMember(view, *entry, name, target, archivePath)) {
            result = EXIT_FAILED;
        } else if (verbose) {
            progressDone();
            std::fprintf(names, "%s\n", name.c_str());
        }
    }
    progressDone();
    return result;
}

int Tool::verify(const toolsupport::CommandLine& line) {
    if (line.operands.size() != 1)
        return usageError("verify needs exactly one archive");
    const std::string& archivePath = line.operands[0];
    const bool verbose = line.has("--verbose");
    ArchiveView view;
    if (!openArchive(archivePath, view))
        return EXIT_FAILED;
    int faults = 0;
    auto fault = [&](const std::string& message) {
        fail(archivePath + ": " + message);
        ++faults;
    };

    // A cut-off archive is one fault, not one for each member it cuts off.
    const int64_t missing = missingBytes(view.archive);
    if (missing > 0)
        fault("the archive is truncated: " + std::to_string(missing) + " bytes are missing");

    progress = std::make_unique<toolsupport::ProgressLine>(err, "paktool: verify", line.has("--quiet"));
    totalBytes = 0;
    doneBytes = 0;
    for (int32_t i = 0; i < view.archive.getEntryCount(); ++i)
        totalBytes += std::max(view.archive.entryAt(i).size, 0);

    const int64_t dataStart = 8 + static_cast<int64_t>(view.archive.getDirectorySize());
    std::set<uint32_t> seen;
    std::vector<uint8_t> read;
    for (int32_t i = 0; i < view.archive.getEntryCount(); ++i) {
        const mt::file::PackEntry& entry = view.archive.entryAt(i);
        const std::string name = view.label(entry.nameHash);
        const std::string member = "member '" + name + "'";
        if (!seen.insert(entry.nameHash).second)
            fault(member + " appears twice in the directory");
        if (cutOff(view.archive, entry))
            continue;
        if (entry.sound && entry.offset < dataStart)
            fault(member + " starts inside the directory");
        // The stored bytes are checked on their own, and the archive reader must deliver the same bytes.
        std::unique_ptr<mt::file::FilePackFile> file(entry.sound ? view.archive.findHash(entry.nameHash)
                                                                 : nullptr);
        bool same = file != nullptr || !entry.sound;
        MemberCheck check = checkMember(view.archive, entry, [&](const uint8_t* bytes, size_t count) {
            doneBytes += static_cast<int64_t>(count);
            progress->update(doneBytes, totalBytes, name);
            read.resize(count);
            same = same && file &&
                   file->read(read.data(), static_cast<int32_t>(count)) == static_cast<int32_t>(count) &&
                   std::equal(read.begin(), read.end(), bytes);
            return true;
        });
        if (!check.problem.empty()) {
            fault(member + " " + check.problem);
            continue;
        }
        uint8_t extra;
        if (!same || (file && file->read(&extra, 1) != 0))
            fault(member + " reads differently through the archive reader");
        else if (verbose) {
            progressDone();
            std::fprintf(out, "OK %s\n", name.c_str());
        }
    }

    // Every listed name must reach a member when it is looked up as the file manager looks it up, and the
    // list must end where its names end.
    for (const std::string& name : view.listed) {
        if (view.archive.findEntry(mt::file::packLookupHash(name.c_str())))
            continue;
        if (view.archive.findEntry(mt::file::packNameHash(name.c_str())))
            fault("listed member '" + name +
                  "' cannot be reached by its name (a lookup of it computes hash " +
                  hashName(mt::file::packLookupHash(name.c_str())) + ")");
        else
            fault("listed member '" + name + "' is missing");
    }
    if (std::unique_ptr<mt::file::FilePackFile> list{view.archive.findHash(view.listHash)}) {
        int64_t expected = 4;
        for (const std::string& name : view.listed)
            expected += 2 + static_cast<int64_t>(name.size());
        uint8_t count[4] = {};
        list->read(count, 4);
        uint32_t declared = count[0] | count[1] << 8 | count[2] << 16 | static_cast<uint32_t>(count[3]) << 24;
        if (expected != list->getSize() || declared != view.listed.size())
            fault("'filepack.list' does not end where its names end");
    }
    progressDone();
    if (faults > 0)
        return EXIT_FAILED;
    if (!line.has("--quiet"))
        std::fprintf(out, "%s: %s OK\n", archivePath.c_str(),
                     memberCount(view.memberCount(), view.hasList).c_str());
    return EXIT_OK;
}

}  // namespace

const char* usage() {
    return USAGE;
}

const std::vector<toolsupport::CommandSpec>& commands() {
    return kCommands;
}

namespace {

int runCommand(const std::vector<std::string>& args, FILE* out, FILE* err) {
    Tool tool(out, err);
    if (args.empty())
        return tool.usageError("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(USAGE, out);
        return EXIT_OK;
    }
    if (command == "--version") {
        std::fputs("paktool " VALTOR_VERSION "\n", out);
        return EXIT_OK;
    }
    for (const toolsupport::CommandSpec& spec : kCommands) {
        if (command != spec.command)
            continue;
        toolsupport::CommandLine line;
        const std::string problem = toolsupport::parseCommandLine(args, spec, kCommands, line);
        if (!problem.empty())
            return tool.usageError(problem);
        if (command == "create")
            return tool.create(line);
        if (command == "list")
            return tool.list(line);
        if (command == "extract")
            return tool.extract(line);
        return tool.verify(line);
    }
    return tool.usageError("unknown command '" + command + "'");
}

}  // namespace

int run(const std::vector<std::string>& args, FILE* out, FILE* err) {
    try {
        return runCommand(args, out, err);
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "paktool: out of memory\n");
        return EXIT_FAILED;
    }
}

}  // namespace paktool
