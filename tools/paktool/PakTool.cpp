#include "tools/paktool/PakTool.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "mt/file/FilePackFile.h"
#include "mt/file/PackArchive.h"
#include "mt/file/PackWriter.h"
#include "platform/HostFile.h"

namespace fs = std::filesystem;

namespace paktool {

namespace {

const char USAGE[] =
    "Usage: paktool COMMAND ARCHIVE [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  create ARCHIVE [--store] [--base DIR] PATH...\n"
    "      Packs the files and directory trees at PATH. Members are named by their path relative to DIR\n"
    "      (default: the current directory) with '/' separators, deflated when that makes them smaller\n"
    "      (never with --store), and listed in a 'filepack.list' member.\n"
    "  list ARCHIVE\n"
    "      Shows every member: size, stored size, method and name (by hash when the archive has no list).\n"
    "  extract ARCHIVE [--to DIR] [-o FILE] [NAME...]\n"
    "      Writes the named members (all listed members without NAME) below DIR (default: the current\n"
    "      directory), or one member to FILE.\n"
    "  verify ARCHIVE\n"
    "      Checks the directory and reads every member, inflating compressed ones to their recorded size.\n"
    "  --help\n"
    "      Shows this text.\n"
    "  --version\n"
    "      Shows the version.\n"
    "\n"
    "Exit status: 0 on success, 1 when an operation fails, 2 for a wrong command line.\n";

class Tool {
  public:
    Tool(FILE* out, FILE* err) : out(out), err(err) {}

    int fail(const std::string& message) {
        std::fprintf(err, "paktool: %s\n", message.c_str());
        return EXIT_FAILED;
    }
    int usageError(const std::string& message) {
        std::fprintf(err, "paktool: %s (see paktool --help)\n", message.c_str());
        return EXIT_USAGE;
    }

    int create(const std::vector<std::string>& args);
    int list(const std::vector<std::string>& args);
    int extract(const std::vector<std::string>& args);
    int verify(const std::vector<std::string>& args);

  private:
    bool openArchive(const std::string& path, mt::file::PackArchive& archive);
    std::map<uint32_t, std::string> namesByHash(mt::file::PackArchive& archive);

    FILE* out;
    FILE* err;
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
    return path.generic_string();
}

}  // namespace

const char* usage() {
    return USAGE;
}

bool Tool::openArchive(const std::string& path, mt::file::PackArchive& archive) {
    // The archive's own open would say "File not found" on stdout; the tool says it on stderr instead.
    platform::HostFile* probe = platform::hostFileOpen(path.c_str(), platform::HOST_FILE_READ);
    if (!probe) {
        fail("cannot open '" + path + "'");
        return false;
    }
    platform::hostFileClose(probe);
    if (!archive.open(path.c_str())) {
        fail("'" + path + "' is not a pack archive, or its header or directory is damaged");
        return false;
    }
    return true;
}

std::map<uint32_t, std::string> Tool::namesByHash(mt::file::PackArchive& archive) {
    std::map<uint32_t, std::string> names;
    names[mt::file::packNameHash(mt::file::PACK_LIST_NAME)] = mt::file::PACK_LIST_NAME;
    for (const mt::String& name : archive.readNameList()) {
        names.emplace(mt::file::packNameHash(name),
                      std::string(name.cstr(), static_cast<size_t>(name.length())));
    }
    return names;
}

int Tool::create(const std::vector<std::string>& args) {
    bool store = false;
    std::string base = ".";
    std::vector<std::string> paths;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--store") {
            store = true;
        } else if (args[i] == "--base") {
            if (++i >= args.size())
                return usageError("--base needs a directory");
            base = args[i];
        } else if (args[i].rfind("--", 0) == 0) {
            return usageError("unknown option '" + args[i] + "'");
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.empty())
        return usageError("create needs an archive and at least one path");
    std::string archivePath = paths.front();
    paths.erase(paths.begin());
    if (paths.empty())
        return usageError("create needs at least one path to pack");

    std::error_code error;
    if (!fs::is_directory(base, error))
        return fail("base '" + base + "' is not a directory");
    fs::path baseDirectory = fs::absolute(base, error).lexically_normal();
    fs::path archiveFile = fs::absolute(archivePath, error).lexically_normal();

    // Every file below the given paths, each once, in name order.
    std::map<std::string, fs::path> files;
    for (const std::string& given : paths) {
        fs::path path = fs::absolute(given, error).lexically_normal();
        std::vector<fs::path> found;
        if (fs::is_directory(path, error)) {
            for (auto it = fs::recursive_directory_iterator(path, error);
                 !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
                if (it->is_regular_file(error))
                    found.push_back(it->path().lexically_normal());
            }
            if (error)
                return fail("cannot read directory '" + given + "': " + error.message());
        } else if (fs::is_regular_file(path, error)) {
            found.push_back(path);
        } else {
            return fail("'" + given + "' is not a file or directory");
        }
        for (const fs::path& file : found) {
            if (file == archiveFile)
                continue;  // never pack the archive into itself
            fs::path relative = file.lexically_relative(baseDirectory);
            std::string name = pathName(relative);
            if (relative.empty() || name == ".." || name.rfind("../", 0) == 0) {
                return fail("'" + pathName(file) + "' is outside the base directory '" + base + "'");
            }
            files.emplace(name, file);
        }
    }

    mt::file::PackWriter writer(!store);
    for (const auto& [name, file] : files) {
        if (!writer.addFile(name.c_str(), pathName(file).c_str()))
            return fail(writer.getError());
    }
    if (!writer.write(archivePath.c_str()))
        return fail(writer.getError());
    std::fprintf(out, "%s: %d members\n", archivePath.c_str(), writer.getMemberCount());
    return EXIT_OK;
}

int Tool::list(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return usageError("list needs exactly one archive");
    mt::file::PackArchive archive(nullptr);
    if (!openArchive(args[1], archive))
        return EXIT_FAILED;
    std::map<uint32_t, std::string> names = namesByHash(archive);
    std::fprintf(out, "%10s %10s  %-8s  %s\n", "size", "stored", "method", "name");
    int64_t total = 0, stored = 0;
    for (int32_t i = 0; i < archive.getEntryCount(); ++i) {
        const mt::file::PackEntry& entry = archive.entryAt(i);
        auto name = names.find(entry.nameHash);
        const char* method = !entry.sound ? "damaged" : entry.flags == 0 ? "stored" : "deflate";
        std::fprintf(out, "%10u %10u  %-8s  %s\n", static_cast<uint32_t>(entry.size),
                     static_cast<uint32_t>(entry.storedSize), method,
                     name != names.end() ? name->second.c_str() : hashName(entry.nameHash).c_str());
        total += static_cast<uint32_t>(entry.size);
        stored += static_cast<uint32_t>(entry.storedSize);
    }
    std::fprintf(out, "%10lld %10lld  %d members\n", static_cast<long long>(total),
                 static_cast<long long>(stored), archive.getEntryCount());
    return EXIT_OK;
}

int Tool::extract(const std::vector<std::string>& args) {
    std::string archivePath, directory = ".", outputFile;
    std::vector<std::string> wanted;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--to" || args[i] == "-o") {
            if (i + 1 >= args.size())
                return usageError(args[i] + " needs a path");
            (args[i] == "--to" ? directory : outputFile) = args[i + 1];
            ++i;
        } else if (args[i].rfind("-", 0) == 0 && args[i].size() > 1) {
            return usageError("unknown option '" + args[i] + "'");
        } else if (archivePath.empty()) {
            archivePath = args[i];
        } else {
            wanted.push_back(args[i]);
        }
    }
    if (archivePath.empty())
        return usageError("extract needs an archive");
    if (!outputFile.empty() && wanted.size() != 1)
        return usageError("-o needs exactly one member name");

    mt::file::PackArchive archive(nullptr);
    if (!openArchive(archivePath, archive))
        return EXIT_FAILED;
    if (wanted.empty()) {
        for (const mt::String& name : archive.readNameList())
            wanted.emplace_back(name.cstr(), static_cast<size_t>(name.length()));
        if (wanted.empty())
            return fail("'" + archivePath + "' lists no members; name the members to extract");
    }

    int result = EXIT_OK;
    std::vector<char> buffer(1 << 16);
    for (const std::string& name : wanted) {
        std::string target = outputFile;
        if (target.empty()) {
            if (!safeRelativeName(name)) {
                result = fail("member name '" + name + "' would be written outside the target directory");
                continue;
            }
            target = pathName(fs::path(directory) / platform::hostPath(name.c_str()));
        }
        std::unique_ptr<mt::file::FilePackFile> member(archive.find(name.c_str()));
        if (!member) {
            result = fail(archive.findEntry(mt::file::packLookupHash(name.c_str()))
                              ? "member '" + name + "' is damaged and cannot be read"
                              : "no member '" + name + "' in '" + archivePath + "'");
            continue;
        }
        std::error_code error;
        fs::path parent = fs::path(target).parent_path();
        if (!parent.empty())
            fs::create_directories(parent, error);
        platform::HostFile* file = platform::hostFileOpen(target.c_str(), platform::HOST_FILE_WRITE);
        if (!file) {
            result = fail("cannot create '" + target + "'");
            continue;
        }
        int64_t written = 0;
        bool ok = true;
        for (int32_t got; (got = member->read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;) {
            ok = ok && platform::hostFileWrite(file, buffer.data(), got) == got;
            written += got;
        }
        ok = platform::hostFileFlush(file) && ok;
        platform::hostFileClose(file);
        if (!ok) {
            result = fail("cannot write '" + target + "'");
        } else if (written != member->getSize()) {
            result = fail("member '" + name + "' is damaged: " + std::to_string(written) + " of " +
                          std::to_string(member->getSize()) + " bytes could be read");
        }
    }
    return result;
}

int Tool::verify(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return usageError("verify needs exactly one archive");
    const std::string& archivePath = args[1];
    mt::file::PackArchive archive(nullptr);
    if (!openArchive(archivePath, archive))
        return EXIT_FAILED;
    std::map<uint32_t, std::string> names = namesByHash(archive);
    int faults = 0;
    auto fault = [&](const std::string& message) {
        fail(archivePath + ": " + message);
        ++faults;
    };
    auto label = [&](uint32_t hash) {
        auto name = names.find(hash);
        return name != names.end() ? "'" + name->second + "'" : hashName(hash);
    };

    int64_t dataStart = 8 + static_cast<int64_t>(archive.getDirectorySize());
    std::set<uint32_t> seen;
    std::vector<uint8_t> stored, inflated;
    for (int32_t i = 0; i < archive.getEntryCount(); ++i) {
        const mt::file::PackEntry& entry = archive.entryAt(i);
        std::string member = "member " + label(entry.nameHash);
        if (!seen.insert(entry.nameHash).second)
            fault(member + " appears twice in the directory");
        if (!entry.sound) {
            fault(member + " lies outside the archive, has impossible sizes or unknown flags");
            continue;
        }
        if (entry.offset < dataStart)
            fault(member + " starts inside the directory");
        if (entry.flags == 0 && entry.size != entry.storedSize)
            fault(member + " has a stored size unlike its size");

        // The stored bytes, checked on their own: a plain member is its bytes; a deflated one must inflate to
        // exactly its size, ending where its stored bytes end.
        stored.resize(static_cast<size_t>(entry.storedSize));
        if (archive.readAt(static_cast<int32_t>(entry.offset), stored.data(), entry.storedSize,
                           entry.storedSize) != entry.storedSize) {
            fault(member + " cannot be read whole");
            continue;
        }
        if (entry.flags == 0) {
            inflated.assign(stored.begin(), stored.begin() + entry.size);
        } else {
            inflated.assign(static_cast<size_t>(entry.size) + 1, 0);
            z_stream stream{};
            inflateInit(&stream);
            stream.next_in = stored.data();
            stream.avail_in = static_cast<uInt>(stored.size());
            stream.next_out = inflated.data();
            stream.avail_out = static_cast<uInt>(inflated.size());
            int status = inflate(&stream, Z_FINISH);
            uLong produced = stream.total_out;
            uInt left = stream.avail_in;
            inflateEnd(&stream);
            if (status != Z_STREAM_END) {
                fault(member +
                      " does not inflate: " + (stream.msg ? stream.msg : "the data ends early or runs long"));
                continue;
            }
            if (produced != static_cast<uLong>(entry.size)) {
                fault(member + " inflates to " + std::to_string(produced) + " bytes, not " +
                      std::to_string(entry.size));
                continue;
            }
            if (left != 0)
                fault(member + " has " + std::to_string(left) + " stored bytes after its data");
            inflated.resize(produced);
        }
        // The reader must deliver the same bytes.
        std::unique_ptr<mt::file::FilePackFile> file(archive.findHash(entry.nameHash));
        std::vector<uint8_t> read(inflated.size() + 1);
        int32_t got = file ? file->read(read.data(), static_cast<int32_t>(read.size())) : -1;
        if (got != static_cast<int32_t>(inflated.size()) ||
            !std::equal(inflated.begin(), inflated.end(), read.begin())) {
            fault(member + " reads differently through the archive reader");
        }
    }

    // Every listed name must be a member, and the list must end where its names end.
    for (const auto& [hash, name] : names) {
        if (name != mt::file::PACK_LIST_NAME && !archive.findEntry(hash))
            fault("listed member '" + name + "' is missing");
    }
    if (std::unique_ptr<mt::file::FilePackFile> list{
            archive.findHash(mt::file::packNameHash(mt::file::PACK_LIST_NAME))}) {
        std::vector<mt::String> listed = archive.readNameList();
        int64_t expected = 4;
        for (const mt::String& name : listed)
            expected += 2 + name.length();
        uint8_t count[4] = {};
        list->read(count, 4);
        uint32_t declared = count[0] | count[1] << 8 | count[2] << 16 | static_cast<uint32_t>(count[3]) << 24;
        if (expected != list->getSize() || declared != listed.size()) {
            fault("'filepack.list' does not end where its names end");
        }
    }
    if (faults > 0)
        return EXIT_FAILED;
    std::fprintf(out, "%s: %d members OK\n", archivePath.c_str(), archive.getEntryCount());
    return EXIT_OK;
}

int run(const std::vector<std::string>& args, FILE* out, FILE* err) {
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
    if (command == "create")
        return tool.create(args);
    if (command == "list")
        return tool.list(args);
    if (command == "extract")
        return tool.extract(args);
    if (command == "verify")
        return tool.verify(args);
    return tool.usageError("unknown command '" + command + "'");
}

}  // namespace paktool
