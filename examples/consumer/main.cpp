// Prints the shop address of a game folder: mounts a pack archive with the framework's file manager, reads
// "url.xml" from it and prints the "url" attribute of its element "selling".
//   shop-address site.pak

#include <cstdio>
#include <memory>

#include "mt/core/ServiceRegistry.h"
#include "mt/core/String.h"
#include "mt/file/File.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlName.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlValue.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shop-address ARCHIVE\n");
        return 2;
    }
    mt::ServiceRegistry registry;
    mt::g_serviceRegistry = &registry;
    std::unique_ptr<mt::file::FileManager> files(mt::file::createFileManager());
    if (!files || !registry.registerService(files.get(), mt::SERVICE_FILE_MANAGER)) {
        std::fprintf(stderr, "shop-address: no file manager\n");
        return 1;
    }
    if (!files->mountArchive(argv[1], "site:")) {
        std::fprintf(stderr, "shop-address: cannot mount %s\n", argv[1]);
        return 1;
    }
    // Only the archive: a url.xml on disk must not answer instead.
    std::unique_ptr<mt::file::File> file(files->openFile("site:/url.xml", 1, 0));
    if (!file || !file->isPacked()) {
        std::fprintf(stderr, "shop-address: no url.xml in %s\n", argv[1]);
        return 1;
    }
    mt::XmlParser parser;
    std::unique_ptr<mt::XmlElement> document(parser.parseFile(file.get()));
    mt::XmlElement* selling = document ? document->findElement(mt::XmlName("selling", false)) : nullptr;
    mt::XmlValue* url = selling ? selling->findAttribute(mt::XmlName("url", false)) : nullptr;
    if (!url) {
        std::fprintf(stderr, "shop-address: url.xml has no selling url\n");
        return 1;
    }
    std::printf("%s\n", url->getText().cstr());
    return 0;
}
