#include "mt/file/FileManagerLink.h"

namespace mt::file {

FileManagerLink::Hold::Hold(FileManagerLink* link) : link(link), manager(nullptr) {
    if (!link)
        return;
    std::lock_guard guard(link->lock);
    manager = link->manager;
    if (manager)
        ++link->holds;
    else
        this->link = nullptr;
}

FileManagerLink::Hold::~Hold() {
    if (!link)
        return;
    std::lock_guard guard(link->lock);
    if (--link->holds == 0)
        link->released.notify_all();
}

void FileManagerLink::cut() {
    std::unique_lock guard(lock);
    released.wait(guard, [this] { return holds == 0; });
    manager = nullptr;
}

}  // namespace mt::file
