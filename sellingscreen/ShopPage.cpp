#include "sellingscreen/ShopPage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mt/core/ServiceRegistry.h"
#include "mt/core/String.h"
#include "mt/file/File.h"
#include "mt/file/FileManager.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlName.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlValue.h"
#include "platform/Process.h"

namespace selling {

namespace {

constexpr std::string_view kPlaceholder = "%1";

// The text with every placeholder replaced by the address (text inserted is not searched again).
std::string fillPlaceholders(std::string_view text, std::string_view address) {
    std::string result;
    size_t start = 0;
    for (size_t found = text.find(kPlaceholder); found != std::string_view::npos;
         found = text.find(kPlaceholder, start)) {
        result.append(text.substr(start, found - start));
        result.append(address);
        start = found + kPlaceholder.size();
    }
    result.append(text.substr(start));
    return result;
}

}  // namespace

bool openUrlInBrowser(const char* address) {
    if (address == nullptr || *address == '\0')
        return false;
    std::string command;
    if (!platform::htmlOpenCommand(command))
        return false;
    std::vector<std::string> commandArguments = platform::splitCommandLine(command);
    if (commandArguments.empty() || commandArguments[0].empty())
        return false;  // the address would become the program

    // The address goes where the command holds the placeholder, or else after one space.
    const bool placeholder = command.find(kPlaceholder) != std::string::npos;
    std::string commandLine;
    std::vector<std::string> expected;
    if (placeholder) {
        commandLine = fillPlaceholders(command, address);
        for (const std::string& argument : commandArguments)
            expected.push_back(fillPlaceholders(argument, address));
    } else {
        commandLine = command + ' ' + address;
        expected = commandArguments;
    }
    // The line and its terminator must fit the buffer; an address is never cut.
    if (commandLine.size() >= kCommandLineBufferSize)
        return false;
    // A quote left open in the command, or one in the address, would take the address into the program's
    // name or into other arguments: the address may only fill the placeholder's argument, or add
    // arguments after the command's own.
    std::vector<std::string> arguments = platform::splitCommandLine(commandLine);
    if (placeholder ? arguments != expected
                    : (arguments.size() < expected.size() ||
                       !std::equal(expected.begin(), expected.end(), arguments.begin())))
        return false;
    return platform::startCommandLine(commandLine);
}

bool openShopPage() {
    auto* files = static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
    if (files == nullptr)
        return false;
    mt::XmlParser parser;
    mt::file::File* file = files->openFile("url.xml", 1, 0);
    if (file == nullptr)
        return false;
    std::unique_ptr<mt::XmlElement> document(parser.parseFile(file));
    delete file;
    if (!document)
        return false;
    mt::XmlElement* selling = document->findElement(mt::XmlName("selling", false));
    if (selling == nullptr)
        return false;
    mt::XmlValue* url = selling->findAttribute(mt::XmlName("url", false));
    if (url == nullptr)
        return false;
    mt::String address = url->getText();
    return openUrlInBrowser(address.cstr());
}

}  // namespace selling
