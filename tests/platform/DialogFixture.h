#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/Dialog.h"
#include "platform/MessageLoop.h"

// Dialogs without a display: SDL's dummy video driver, input pushed into its event queue, the picture
// read back from the dialog. Records every message the dialog procedure receives.
class DialogFixture : public ::testing::Test {
  protected:
    // The launcher's lists: id and pixel rectangle after the program moves them into place.
    struct ListPlace {
        int id;
        int x, y, width, height;
    };
    static constexpr ListPlace kLauncherLists[] = {{1004, 65, 178, 88, 96},
                                                   {1005, 65, 348, 130, 96},
                                                   {1006, 65, 401, 110, 96},
                                                   {1007, 65, 235, 110, 96},
                                                   {1008, 65, 292, 110, 96}};

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_RENDER_DRIVER", "software", 0);
    }

    void TearDown() override {
        for (platform::Dialog* dialog : dialogs_) {
            platform::destroyDialog(dialog);
        }
        platform::Message message;
        while (platform::peekMessage(message)) {
        }
    }

    platform::Dialog* makeDialog(const platform::DialogTemplate& dialogTemplate, intptr_t param = 0) {
        platform::Dialog* dialog = platform::createDialog(
            dialogTemplate,
            [this](platform::Dialog& target, const platform::Message& message) {
                received_.push_back(message);
                if (onMessage) {
                    return onMessage(target, message);
                }
                return message.type != platform::MessageType::Command;
            },
            param);
        if (dialog != nullptr) {
            dialogs_.push_back(dialog);
        }
        return dialog;
    }

    // The launcher's dialog: a borderless popup of 292 x 264 units with five drop-down lists, moved to
    // their pixel places.
    platform::Dialog* makeLauncherDialog() {
        platform::DialogTemplate dialogTemplate;
        dialogTemplate.style = 0x80880848;
        dialogTemplate.width = 292;
        dialogTemplate.height = 264;
        int row = 20;
        for (const ListPlace& place : kLauncherLists) {
            dialogTemplate.controls.push_back(
                {platform::ControlKind::ComboBox, place.id, 0x50210143, 32, row, 96, 37});
            row += 13;
        }
        platform::Dialog* dialog = makeDialog(dialogTemplate);
        if (dialog != nullptr) {
            for (const ListPlace& place : kLauncherLists) {
                dialog->comboBox(place.id)->move(place.x, place.y, place.width, place.height);
            }
        }
        return dialog;
    }

    void pump(platform::Dialog* dialog) { platform::processPendingMessages(dialog); }

    int count(platform::MessageType type) const {
        int n = 0;
        for (const auto& message : received_) {
            n += message.type == type ? 1 : 0;
        }
        return n;
    }

    // The Command messages received, as (id, code) pairs.
    std::vector<std::pair<int, int>> commands() const {
        std::vector<std::pair<int, int>> result;
        for (const auto& message : received_) {
            if (message.type == platform::MessageType::Command) {
                result.emplace_back(platform::commandId(message.wParam),
                                    platform::commandCode(message.wParam));
            }
        }
        return result;
    }

    std::function<bool(platform::Dialog&, const platform::Message&)> onMessage;
    std::vector<platform::Message> received_;
    std::vector<platform::Dialog*> dialogs_;
};
