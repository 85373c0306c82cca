#pragma once
#include <cstddef>

// The shop's web page: its address comes from "url.xml" in the archives and is opened in the user's web
// browser, which is started without waiting for it.
namespace selling {

// The command line is formed in a buffer of this many bytes, terminator included.
constexpr size_t kCommandLineBufferSize = 1024;

// Starts the browser on the address: the host's HTML open command with the address in place of its "%1"
// placeholder (every one of them), or, for a command without one, the command, one space and the address.
// The address itself is used unchanged (nothing is quoted). True when the browser was started.
//
// The command line is split into arguments and the program is started directly, never through a shell,
// so no text in an address, however damaged or hostile the file it came from, can run a command. The
// address can only fill the placeholder's argument or add arguments after those of the HTML open command;
// a command line whose program or other arguments would change by putting it in is refused, and so is an
// empty address, a missing or empty HTML open command, and a command line that does not fit the buffer
// (an address is never cut).
bool openUrlInBrowser(const char* address);

// Reads "url.xml" through the file manager, finds the first element "selling" (depth first, in document
// order, the root included) and opens its attribute "url" with openUrlInBrowser. A missing file manager,
// file, element or attribute ends it quietly with false.
bool openShopPage();

}  // namespace selling
