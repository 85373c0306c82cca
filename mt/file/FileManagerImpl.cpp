#include "mt/file/FileManagerImpl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "mt/file/FilePackFile.h"
#include "mt/file/FileWin.h"
#include "mt/file/ManagerFile.h"
#include "mt/file/MemoryFile.h"
#include "mt/file/PackArchive.h"
#include "mt/xml/XmlElement.h"
#include "platform/HostFile.h"

namespace mt::file {

namespace {

const XmlName& driveName() {
    static const XmlName name("drive");
    return name;
}
const XmlName& directoryName() {
    static const XmlName name("directory");
    return name;
}
const XmlName& fileName() {
    static const XmlName name("file");
    return name;
}
const XmlName& nameAttribute() {
    static const XmlName name("name");
    return name;
}

// Throws std::bad_alloc when memory runs out (caught where the listing starts).
XmlElement* namedElement(const XmlName& kind, const char* name) {
    std::unique_ptr<XmlElement> element(new XmlElement(kind));
    element->setAttribute(nameAttribute(), XmlValue::fromText(name));
    return element.release();
}

int firstColon(const String& text) {
    const char* colon = std::strchr(text.cstr(), ':');
    return colon ? static_cast<int>(colon - text.cstr()) : -1;
}

String tail(const String& text, int from) {
    if (from >= text.length())
        return String("");
    return String(text.charPtrAt(from), text.length() - from);
}

String lowerCased(const String& text) {
    String copy = text;
    copy.toLowerCase();
    return copy;
}

// Unsigned 64-bit value of decimal text or of hexadecimal text after "0x"; stops at the first other
// character. False when there are no digits or the value does not fit.
bool parseAddress(const char* text, uint64_t& value) {
    value = 0;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    int digits = 0;
    for (;; ++text, ++digits) {
        int digit;
        char c = *text;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            break;
        }
        if (value > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base))
            return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return digits > 0;
}

}  // namespace

// ---- waiting callbacks ----

bool FileManagerImpl::WaitingCallback::waitUntilDone() {
    while (!done.load()) {
        if (manager->waitForRequestDone(16) || done.load())
            continue;
        if (!manager->isWorkerRunning() && manager->withdraw(this))
            return false;
    }
    return true;
}

bool FileManagerImpl::OpenFileCB::execute(void*, int32_t) {
    result = manager->resolve(path, mode, manager->getRootDirectory(), true);
    return false;
}

// ---- construction ----

FileManagerImpl::FileManagerImpl()
    : queueLock(thread::createMutex()),
      completedLock(thread::createMutex()),
      workSignal(thread::createSemaphore(0)),
      idleSignal(thread::createSemaphore(0)),
      requestDone(thread::createSemaphore(0)),
      stateLock(thread::createMutex()) {}

FileManagerImpl::~FileManagerImpl() {
    stopRequested = true;
    if (workerThread.load() != 0 && !finished.load()) {
        running = false;
        if (workSignal)
            workSignal->post();
        while (!finished.load())
            thread::sleepMilliseconds(1);
    }
    running = false;
    // Files, members and proxies opened here may outlive the manager: once operations still using it have
    // ended (the stopped worker no longer holds up a proxy's wait), they go on without it.
    cutLink();
    {
        std::unique_lock lock(mountsLock);
        mounts.clear();
    }
    for (FileRequest* request : requestQueue)
        delete request;
    requestQueue.clear();
    completedCallbacks.clear();
}

bool FileManagerImpl::isValid() const {
    return queueLock && completedLock && workSignal && idleSignal && requestDone && stateLock;
}

FileManager* createFileManager() {
    FileManagerImpl* manager = nullptr;
    try {
        manager = new (std::nothrow) FileManagerImpl();
    } catch (const std::bad_alloc&) {
        return nullptr;  // a container of the manager could not be made
    }
    if (manager && !manager->isValid()) {
        delete manager;
        return nullptr;
    }
    return manager;
}

// ---- configuration ----

void FileManagerImpl::setRootDirectory(const String& directory) {
    thread::MutexLock lock(stateLock.get());
    rootDirectory = directory == "." ? String("") : directory;
}

String FileManagerImpl::getRootDirectory() {
    thread::MutexLock lock(stateLock.get());
    return rootDirectory;
}

void FileManagerImpl::setArchiveDirectory(const String& directory) {
    thread::MutexLock lock(stateLock.get());
    archiveDirectory = directory == "." ? String("") : directory;
}

String FileManagerImpl::getArchiveDirectory() {
    thread::MutexLock lock(stateLock.get());
    return archiveDirectory;
}

void FileManagerImpl::setRecordOpenedFiles(bool record) {
    thread::MutexLock lock(stateLock.get());
    if (record)
        openedFiles.clear();
    recordOpenedFiles = record;
}

std::vector<String> FileManagerImpl::getOpenedFiles() {
    thread::MutexLock lock(stateLock.get());
    try {
        return openedFiles;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void FileManagerImpl::setScrambleKey(const uint8_t* key, int32_t length) {
    scrambleKey = key;
    scrambleKeyLength = key ? length : 0;
}

const uint8_t* FileManagerImpl::getScrambleKey(int32_t& length) {
    length = scrambleKeyLength;
    return scrambleKey;
}

bool FileManagerImpl::registerMemoryBlock(const void* data, int32_t size) {
    if (!data || size < 0)
        return false;
    thread::MutexLock lock(stateLock.get());
    try {
        memoryBlocks.push_back({static_cast<const uint8_t*>(data), size});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool FileManagerImpl::unregisterMemoryBlock(const void* data) {
    thread::MutexLock lock(stateLock.get());
    for (auto block = memoryBlocks.begin(); block != memoryBlocks.end(); ++block) {
        if (block->data == data) {
            memoryBlocks.erase(block);
            return true;
        }
    }
    return false;
}

// ---- host file-system operations ----

bool FileManagerImpl::copyFile(const String& from, const String& to, bool failIfExists) {
    return copyHostFile(from, to, failIfExists);
}
bool FileManagerImpl::moveFile(const String& from, const String& to) {
    return moveHostFile(from, to);
}
bool FileManagerImpl::deleteFile(const String& path) {
    return deleteHostFile(path);
}
bool FileManagerImpl::createDirectory(const String& path) {
    return createHostDirectory(path);
}
bool FileManagerImpl::removeDirectory(const String& path) {
    return removeHostDirectory(path);
}

// ---- mounts ----

std::vector<std::shared_ptr<FileManagerImpl::MountPoint>> FileManagerImpl::mountsSnapshot() {
    std::shared_lock lock(mountsLock);
    return mounts;
}

bool FileManagerImpl::mountArchive(const String& archiveFileName, const String& mountName) {
    try {
        return mount(archiveFileName, mountName);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool FileManagerImpl::mount(const String& archiveFileName, const String& mountName) {
    String name = lowerCased(mountName);
    auto taken = [&] {
        for (const auto& mount : mounts) {
            if (mount->name == name)
                return true;
        }
        return false;
    };
    {
        std::shared_lock lock(mountsLock);
        if (taken())
            return false;
    }
    // Opened without the lock: opening the archive file goes through this manager.
    auto archive = std::make_shared<PackArchive>(this);
    if (!archive->open(archiveFileName))
        return false;
    auto mount = std::make_shared<MountPoint>();
    mount->name = name;
    mount->archive = std::move(archive);
    std::unique_lock lock(mountsLock);
    if (taken())
        return false;
    mounts.push_back(std::move(mount));
    return true;
}

bool FileManagerImpl::unmountArchive(const String& mountName) {
    String name = lowerCased(mountName);
    std::shared_ptr<MountPoint> removed;
    {
        std::unique_lock lock(mountsLock);
        for (auto mount = mounts.begin(); mount != mounts.end(); ++mount) {
            if ((*mount)->name == name) {
                removed = *mount;
                mounts.erase(mount);
                break;
            }
        }
    }
    // The archive closes when the last lookup that may still be using it lets go of it.
    return removed != nullptr;
}

PackArchive* FileManagerImpl::getArchive(const String& mountName) {
    String name = lowerCased(mountName);
    std::shared_lock lock(mountsLock);
    for (const auto& mount : mounts) {
        if (mount->name == name)
            return mount->archive.get();
    }
    return nullptr;
}

// ---- path resolution ----

File* FileManagerImpl::openFile(const String& path, int32_t mode, int32_t flags) {
    if (path.isEmpty())
        return nullptr;
    return openFileDirect(path, mode, flags);
}

File* FileManagerImpl::openFileDirect(const String& path, int32_t mode, int32_t) {
    return resolve(path, mode, getRootDirectory(), false);
}

File* FileManagerImpl::openArchiveFile(const String& path) {
    if (path.isEmpty())
        return nullptr;
    return resolve(path, OPEN_READ, getArchiveDirectory(), false);
}

File* FileManagerImpl::openMemoryFile(const String& name) {
    // "mem:" and one separator, then ADDRESS.LENGTH.
    String rest = tail(name, 5);
    const char* text = rest.cstr();
    const char* dot = std::strchr(text, '.');
    if (!dot)
        return nullptr;
    uint64_t address = 0;
    parseAddress(text, address);
    int32_t length = String::parseInt(dot + 1);
    if (length < 0)
        return nullptr;
    uint8_t* data = nullptr;
    if (address != 0) {
        // Only memory the application registered can be reached by a path.
        thread::MutexLock lock(stateLock.get());
        for (const MemoryBlock& block : memoryBlocks) {
            auto start = reinterpret_cast<uint64_t>(block.data);
            if (address >= start && address - start <= static_cast<uint64_t>(block.size) &&
                static_cast<uint64_t>(length) <= start + static_cast<uint64_t>(block.size) - address) {
                data = reinterpret_cast<uint8_t*>(address);
                break;
            }
        }
        if (!data)
            return nullptr;
    } else if (length > memoryFileLimit.load()) {
        std::printf("Memory file of %d bytes is larger than the limit of %d bytes\n", length,
                    memoryFileLimit.load());
        return nullptr;
    }
    auto* file = new (std::nothrow) MemoryFile(data, length, length, OPEN_READ, this);
    if (file && !file->isValid()) {
        delete file;
        return nullptr;
    }
    return file;
}

File* FileManagerImpl::resolve(const String& path, int32_t mode, const String& root, bool forWorker) {
    if (path.isEmpty())
        return nullptr;
    {
        thread::MutexLock lock(stateLock.get());
        if (recordOpenedFiles &&
            std::find(openedFiles.begin(), openedFiles.end(), path) == openedFiles.end()) {
            try {
                openedFiles.push_back(path);
            } catch (const std::bad_alloc&) {
                // Without memory the path is not recorded; the open goes on.
            }
        }
    }
    String name = path;
    if (firstColon(path) < 0 && !root.isEmpty() && mode == OPEN_READ) {
        name = root;
        name.append("/");
        name.append(path);
    }

    File* file = nullptr;
    bool native = true;
    int colon = firstColon(name);
    bool searchAll = (searchMode.load() & SEARCH_ALL_MOUNTS) != 0;
    if (colon >= 1 || searchAll) {
        String drive = colon >= 1 ? String(name.cstr(), colon) : String("");
        if (drive == "mem") {
            // Without ADDRESS.LENGTH the path goes on to the host file system.
            if (std::strchr(tail(name, 5).cstr(), '.')) {
                file = openMemoryFile(name);
                native = false;
            }
        } else if (mode == OPEN_READ) {
            // Every archive looks the same member text up: its hash is computed once.
            uint32_t hash =
                drive.isEmpty() ? packLookupHash(name) : packLookupHash(tail(name, drive.length() + 2));
            // Finding a member never calls back into the manager, so the lock can be held throughout.
            std::shared_lock lock(mountsLock);
            for (auto mount = mounts.rbegin(); mount != mounts.rend() && !file; ++mount) {
                if (!searchAll && !(*mount)->name.matchesPattern(drive))
                    continue;
                file = (*mount)->archive->findHash(hash);
            }
        }
    }
    if (!file && native)
        file = openNativeFile(name, mode, this);
    if (!file)
        return nullptr;

    if (scrambleKey)
        file->setScrambleKey(scrambleKey, scrambleKeyLength);
    if (forWorker) {
        auto* proxy = new (std::nothrow) ManagerFile(this, file);
        if (!proxy || !proxy->isValid()) {
            delete proxy;  // deletes the real file with it
            if (!proxy)
                delete file;
            return nullptr;
        }
        return proxy;
    }
    return file;
}

// ---- directory listings ----

void FileManagerImpl::listHostDirectory(const String& name, XmlElement* element, bool recursive) {
    std::string text = name.cstr();
    size_t slash = text.find_last_of("/\\");
    std::string directory = slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
    std::string prefix = slash == std::string::npos ? text : std::string();

    XmlElement* target = element;
    if (element->name() == driveName()) {
        // Entries land at the element that mirrors the directory path.
        size_t start = 0;
        for (size_t i = 0; i < directory.size(); ++i) {
            if (directory[i] != '/' && directory[i] != '\\')
                continue;
            std::string component = directory.substr(start, i - start);
            start = i + 1;
            if (component.empty() || component == ".")
                continue;
            XmlElement* child = nullptr;
            for (XmlElement* c = target->firstChild(); c && !child; c = c->nextSibling()) {
                XmlValue* value = c->findAttribute(nameAttribute());
                if (c->name() == directoryName() && value && value->getText() == component.c_str())
                    child = c;
            }
            if (!child) {
                child = namedElement(directoryName(), component.c_str());
                target->appendChild(child);
            }
            target = child;
        }
    }

    std::vector<platform::HostDirectoryEntry> entries;
    if (!platform::hostListDirectory(directory.empty() ? "." : directory.c_str(), entries))
        return;
    for (const platform::HostDirectoryEntry& entry : entries) {
        if (entry.name.compare(0, prefix.size(), prefix) != 0)
            continue;
        XmlElement* child =
            namedElement(entry.isDirectory ? directoryName() : fileName(), entry.name.c_str());
        target->appendChild(child);
        if (entry.isDirectory && recursive && !entry.isLink) {
            listHostDirectory(String((directory + entry.name + "/").c_str()), child, true);
        }
    }
}

bool FileManagerImpl::listDirectory(const String& path, XmlElement* root, bool recursive) {
    if (!root)
        return false;
    try {
        return list(path, root, recursive);
    } catch (const std::bad_alloc&) {
        // What was listed before memory ran out stays in the tree.
        return false;
    }
}

bool FileManagerImpl::list(const String& path, XmlElement* root, bool recursive) {
    String rootText = getRootDirectory();
    String name = path;
    if (!rootText.isEmpty()) {
        name = rootText;
        name.append("/");
        name.append(path);
    }
    int colon = firstColon(name);
    bool searchAll = (searchMode.load() & SEARCH_ALL_MOUNTS) != 0;
    if (colon < 1 && !searchAll) {
        XmlElement* drive = namedElement(driveName(), "");
        root->appendChild(drive);
        listHostDirectory(name, drive, recursive);
        return true;
    }
    String drive = colon >= 1 ? String(name.cstr(), colon) : String("");
    String inside = drive.isEmpty() ? name : tail(name, drive.length() + 2);
    for (const auto& mount : mountsSnapshot()) {
        if (!searchAll && !mount->name.matchesPattern(drive))
            continue;
        XmlElement* element = namedElement(driveName(), mount->name.cstr());
        root->appendChild(element);
        mount->archive->listInto(inside, element, recursive);
    }
    if (searchAll) {
        XmlElement* element = namedElement(driveName(), "");
        root->appendChild(element);
        listHostDirectory(name, element, recursive);
    }
    return true;
}

// ---- request queue ----

bool FileManagerImpl::enqueue(int32_t type, File* file, FileOperationCallback* callback, void* buffer,
                              int32_t size) {
    auto* request = new (std::nothrow) FileRequest;
    if (!request)
        return false;
    request->type = type;
    request->file = file;
    request->size = size;
    request->buffer = buffer;
    request->callback = callback;
    if (type == 2)
        request->waiter = dynamic_cast<WaitingCallback*>(callback);
    if (callback)
        callback->requestingThread = thread::currentThreadId();
    {
        thread::MutexLock lock(queueLock.get());
        try {
            requestQueue.push_back(request);
        } catch (const std::bad_alloc&) {
            delete request;
            return false;
        }
        ++pendingRequests;
    }
    workSignal->post();
    return true;
}

void FileManagerImpl::queueCallback(FileOperationCallback* callback) {
    if (enqueue(2, nullptr, callback, nullptr, 0))
        return;
    // Out of memory for the request: a waiting owner would wait for ever, so the work runs here instead.
    if (auto* waiter = dynamic_cast<WaitingCallback*>(callback)) {
        waiter->execute(nullptr, 0);
        waiter->done = 1;
    }
}

bool FileManagerImpl::queueRead(File* file, FileOperationCallback* callback, void* buffer, int32_t size) {
    return enqueue(0, file, callback, buffer, size);
}

bool FileManagerImpl::queueWrite(File* file, FileOperationCallback* callback, const void* buffer,
                                 int32_t size) {
    return enqueue(1, file, callback, const_cast<void*>(buffer), size);
}

int FileManagerImpl::run() {
    if (stopRequested.load()) {
        finished = true;
        return 0;
    }
    workerThread = thread::currentThreadId();
    finished = false;
    running = true;
    while (running.load())
        processQueue();
    finished = true;
    return 0;
}

void FileManagerImpl::processQueue() {
    workSignal->wait();
    for (;;) {
        FileRequest* request;
        {
            thread::MutexLock lock(queueLock.get());
            if (requestQueue.empty()) {
                idleSignal->post();
                return;
            }
            request = requestQueue.front();
            requestQueue.pop_front();
            if (request->callback)
                request->callback->busy = 1;
        }
        bool notify = false;
        FileOperationCallback* callback = request->callback;
        if (request->type == 0 || request->type == 1) {
            int32_t n = request->type == 0 ? request->file->read(request->buffer, request->size)
                                           : request->file->write(request->buffer, request->size);
            if (callback)
                notify = callback->execute(request->buffer, n);
        } else if (callback) {
            notify = callback->execute(nullptr, 0);
        }
        if (callback) {
            callback->busy = 0;
            if (notify) {
                thread::MutexLock lock(completedLock.get());
                try {
                    completedCallbacks.push_back(callback);
                } catch (const std::bad_alloc&) {
                    // No memory for the notice: the work is done, only its notice is lost.
                }
            }
        }
        {
            thread::MutexLock lock(queueLock.get());
            --pendingRequests;
        }
        // The waiting owner may destroy its callback as soon as it sees done: nothing touches it after this.
        if (request->waiter)
            request->waiter->done = 1;
        delete request;
        requestDone->post();
    }
}

bool FileManagerImpl::withdraw(FileOperationCallback* callback) {
    thread::MutexLock lock(queueLock.get());
    for (auto request = requestQueue.begin(); request != requestQueue.end(); ++request) {
        if ((*request)->callback == callback) {
            delete *request;
            requestQueue.erase(request);
            --pendingRequests;
            return true;
        }
    }
    return false;
}

void FileManagerImpl::dropRequestsFor(File* file) {
    thread::MutexLock lock(queueLock.get());
    for (auto request = requestQueue.begin(); request != requestQueue.end();) {
        if ((*request)->file == file) {
            delete *request;
            request = requestQueue.erase(request);
            --pendingRequests;
        } else {
            ++request;
        }
    }
}

bool FileManagerImpl::cancelOperation(FileOperationCallback* callback) {
    thread::MutexLock lock(queueLock.get());
    for (auto request = requestQueue.begin(); request != requestQueue.end(); ++request) {
        if ((*request)->callback != callback)
            continue;
        callback->busy = 1;
        bool allowed = callback->cancel();
        callback->busy = 0;
        if (allowed) {
            delete *request;
            requestQueue.erase(request);
            --pendingRequests;
            requestDone->post();
        }
        return allowed;
    }
    return false;
}

void FileManagerImpl::waitForQueue() {
    for (;;) {
        {
            thread::MutexLock lock(queueLock.get());
            if (pendingRequests == 0)
                return;
        }
        // Nothing else can empty the queue when no worker runs.
        if (!isWorkerRunning())
            return;
        workSignal->post();
        idleSignal->waitTimeout(16);
    }
}

bool FileManagerImpl::waitForRequestDone(int32_t milliseconds) {
    return requestDone->waitTimeout(static_cast<uint32_t>(std::max(milliseconds, 0)));
}

bool FileManagerImpl::runsOnCaller() const {
    return !isWorkerRunning() || thread::currentThreadId() == workerThread.load();
}

int32_t FileManagerImpl::dispatchCompleted() {
    uint32_t self = thread::currentThreadId();
    int32_t count = 0;
    for (;;) {
        FileOperationCallback* callback = nullptr;
        {
            thread::MutexLock lock(completedLock.get());
            for (auto it = completedCallbacks.begin(); it != completedCallbacks.end(); ++it) {
                if ((*it)->requestingThread == self) {
                    callback = *it;
                    completedCallbacks.erase(it);
                    break;
                }
            }
        }
        if (!callback)
            return count;
        callback->onCompleted();
        ++count;
    }
}

// ---- work on the worker ----

File* FileManagerImpl::openFileOnWorker(const String& path, int32_t mode, int32_t) {
    if (path.isEmpty())
        return nullptr;
    if (isWorkerRunning() && thread::currentThreadId() == workerThread.load()) {
        return resolve(path, mode, getRootDirectory(), false);
    }
    OpenFileCB callback(this, path, mode);
    if (runsOnCaller()) {
        callback.execute(nullptr, 0);
        return callback.result;
    }
    queueCallback(&callback);
    if (!callback.waitUntilDone())
        callback.execute(nullptr, 0);
    return callback.result;
}

}  // namespace mt::file
