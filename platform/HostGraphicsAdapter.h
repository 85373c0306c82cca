#pragma once
#include <memory>

#include "platform/GraphicsAdapter.h"

// The seam between the shared adapter code and a backend: each backend answers the host query.
namespace platform {

// The primary adapter as the host reports it, or null when the host has no graphics.
std::unique_ptr<GraphicsAdapter> hostGraphicsAdapter();

// Starts hostGraphicsAdapter() on a thread of its own; null where the host answers only on the thread that
// made its windows, or when no thread can be started.
HostAdapterQuery* startHostAdapterQuery();
// Waits for a started query, frees it and gives its answer.
std::unique_ptr<GraphicsAdapter> finishHostAdapterQuery(HostAdapterQuery* query);

}  // namespace platform
