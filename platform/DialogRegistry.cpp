#include "platform/DialogRegistry.h"

#include <algorithm>

#include "platform/Dialog.h"

namespace platform {

std::vector<Dialog*>& liveDialogs() {
    static std::vector<Dialog*> dialogs;
    return dialogs;
}

std::vector<Dialog*>& destroyedDialogs() {
    static std::vector<Dialog*> dialogs;
    return dialogs;
}

void Dialog::collectDestroyed() {
    auto& destroyed = destroyedDialogs();
    for (auto it = destroyed.begin(); it != destroyed.end();) {
        if ((*it)->callDepth_ == 0) {
            delete *it;
            it = destroyed.erase(it);
        } else {
            ++it;
        }
    }
}

Dialog* Dialog::fromWindowId(uint32_t windowId) {
    for (Dialog* dialog : liveDialogs()) {
        if (dialog->windowId_ == windowId) {
            return dialog;
        }
    }
    return nullptr;
}

bool Dialog::isLive(const Dialog* dialog) {
    if (dialog == nullptr) {
        return false;
    }
    const auto& live = liveDialogs();
    return std::find(live.begin(), live.end(), dialog) != live.end();
}

const std::vector<Dialog*>& Dialog::all() {
    return liveDialogs();
}

}  // namespace platform
