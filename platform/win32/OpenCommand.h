#pragma once
#include <string>
#include <string_view>

// The command that opens web pages, from the registry.
namespace platform::win32 {

// The default value of HKEY_CLASSES_ROOT\htmlfile\shell\open\command as UTF-8 (environment references of
// an expandable value expanded). False when the key or the value is missing or empty.
bool readHtmlOpenCommand(std::string& command);

// The command line that opens address with command: the address in place of each "%1" where the command
// holds one, else after the command and one space.
std::string placeAddress(std::string_view command, std::string_view address);

}  // namespace platform::win32
