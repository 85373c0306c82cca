#include "sellingscreen/ShopPage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
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

bool openUrlInBrowser(const char* address) {
    if (address == nullptr || *address == '\0')
        return false;
    std::string command;
    if (!platform::htmlOpenCommand(command))
        return false;
    // The command alone must fit the buffer, and then the space, the address and the terminator.
    const size_t addressLength = std::strlen(address);
    if (command.size() >= kCommandLineBufferSize ||
        addressLength > kCommandLineBufferSize - command.size() - 2)
        return false;

    std::vector<std::string> commandArguments = platform::splitCommandLine(command);
    if (commandArguments.empty() || commandArguments[0].empty())
        return false;  // the address would become the program
    std::string commandLine = command;
    commandLine += ' ';
    commandLine += address;
    // A quote left open in the command would take the address into the program's name or into one of
    // the command's own arguments: the address may only add arguments.
    std::vector<std::string> arguments = platform::splitCommandLine(commandLine);
    if (arguments.size() < commandArguments.size() ||
        !std::equal(commandArguments.begin(), commandArguments.end(), arguments.begin()))
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
