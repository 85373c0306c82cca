#pragma once
#include <cstdint>
#include <vector>

#include "platform/DialogTemplate.h"

// Dialog templates on Windows: the program's own dialog resources, and the in-memory form of a template
// description for dialogs that have no resource. Internal to the layer.
namespace platform {

// Whether the program's module holds a dialog resource with this id (0 never names one).
bool hasDialogResource(int resourceId);

// The description as an extended dialog template (the layout a dialog resource has), ready for
// CreateDialogIndirectParamW; empty when a value does not fit the template's fields (positions and sizes
// are 16-bit, at most 65535 controls).
std::vector<uint8_t> buildDialogTemplate(const DialogTemplate& description);

}  // namespace platform
