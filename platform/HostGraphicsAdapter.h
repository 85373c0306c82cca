#pragma once
#include <memory>

#include "platform/GraphicsAdapter.h"

// The seam between the shared adapter code and a backend: each backend answers the host query.
namespace platform {

// The primary adapter as the host reports it, or null when the host has no graphics.
std::unique_ptr<GraphicsAdapter> hostGraphicsAdapter();

}  // namespace platform
