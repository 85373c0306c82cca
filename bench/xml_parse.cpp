// Parsing a 1 MB XML text document with the framework's reader and with pugixml, and the binary form of
// the same tree.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlWriter.h"

namespace {

// A catalog of sections and items: attributes on every element, text on most items, about 1 MB.
const std::string& document() {
    static const std::string text = [] {
        std::string out = "<?xml version=\"1.0\"?>\n<!-- generated catalog -->\n<catalog version=\"3\">\n";
        char line[512];
        for (int item = 0; out.size() < (1u << 20) - 300; ++item) {
            if (item % 50 == 0) {
                if (item > 0)
                    out += "\t</section>\n";
                std::snprintf(line, sizeof line, "\t<section name=\"section%d\" id=\"%d\">\n", item / 50,
                              item / 50);
                out += line;
            }
            if (item % 4 == 0) {
                std::snprintf(line, sizeof line,
                              "\t\t<item id=\"%d\" name=\"Item number %d\" price=\"%d.%02d\"/>\n", item, item,
                              item % 97, item % 100);
            } else {
                std::snprintf(line, sizeof line,
                              "\t\t<item id=\"%d\" name=\"Item number %d\" price=\"%d.%02d\" stock=\"%d\">"
                              "A short description of item %d, with a few words of text.</item>\n",
                              item, item, item % 97, item % 100, item % 13, item);
            }
            out += line;
        }
        out += "\t</section>\n</catalog>\n";
        return out;
    }();
    return text;
}

void BM_MtParseText(benchmark::State& state) {
    const std::string& text = document();
    mt::XmlParser parser;
    for (auto _ : state) {
        mt::MemoryStream stream(reinterpret_cast<uint8_t*>(const_cast<char*>(text.data())),
                                static_cast<int32_t>(text.size()), mt::STREAM_NOT_OWNER);
        std::unique_ptr<mt::XmlElement> root(parser.parseStream(&stream));
        benchmark::DoNotOptimize(root.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["elements"] = parser.getElementsCreated();
}
BENCHMARK(BM_MtParseText)->Unit(benchmark::kMillisecond);

void BM_PugixmlParseText(benchmark::State& state) {
    const std::string& text = document();
    size_t nodes = 0;
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
        benchmark::DoNotOptimize(result.status);
        nodes = doc.child("catalog").select_nodes("section").size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["sections"] = static_cast<double>(nodes);
}
BENCHMARK(BM_PugixmlParseText)->Unit(benchmark::kMillisecond);

void BM_MtParseBinary(benchmark::State& state) {
    const std::string& text = document();
    mt::XmlParser parser;
    mt::MemoryStream source(reinterpret_cast<uint8_t*>(const_cast<char*>(text.data())),
                            static_cast<int32_t>(text.size()), mt::STREAM_NOT_OWNER);
    std::unique_ptr<mt::XmlElement> root(parser.parseStream(&source));
    mt::MemoryStream binary(mt::STREAM_BINARY);
    mt::XmlWriter::writeBinary(root->firstChild(), &binary, true);
    int32_t length = 0;
    const uint8_t* bytes = binary.peekBuffer(length);
    for (auto _ : state) {
        mt::MemoryStream stream(const_cast<uint8_t*>(bytes), length, mt::STREAM_NOT_OWNER);
        std::unique_ptr<mt::XmlElement> read(parser.parseStream(&stream));
        benchmark::DoNotOptimize(read.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_MtParseBinary)->Unit(benchmark::kMillisecond);

// One element of the binary form with state.range(0) attributes named by id, every name given twice (the
// second value stays): the cost per attribute stays flat as the count grows.
void BM_MtParseBinaryManyAttributes(benchmark::State& state) {
    const auto count = static_cast<uint32_t>(state.range(0));
    std::string bytes("\x01\x00\x01\x00\x00\x00", 6);
    for (uint32_t round = 0; round < 2; ++round) {
        for (uint32_t id = 0; id < count; ++id) {
            const char value[] = {static_cast<char>('a' + round), 0};
            const char attribute[] = {1,
                                      0,
                                      static_cast<char>(id),
                                      static_cast<char>(id >> 8),
                                      static_cast<char>(id >> 16),
                                      static_cast<char>(id >> 24),
                                      1,
                                      2,
                                      0};
            bytes.append(attribute, sizeof attribute);
            bytes.append(value, sizeof value);
        }
    }
    bytes.append(2, '\0');
    mt::XmlParser parser;
    for (auto _ : state) {
        mt::MemoryStream stream(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()),
                                mt::STREAM_NOT_OWNER);
        std::unique_ptr<mt::XmlElement> root(parser.parseStream(&stream));
        benchmark::DoNotOptimize(root.get());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count * 2);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_MtParseBinaryManyAttributes)->Arg(20000)->Arg(80000)->Arg(320000)->Unit(benchmark::kMillisecond);

void BM_MtWriteText(benchmark::State& state) {
    const std::string& text = document();
    mt::XmlParser parser;
    mt::MemoryStream source(reinterpret_cast<uint8_t*>(const_cast<char*>(text.data())),
                            static_cast<int32_t>(text.size()), mt::STREAM_NOT_OWNER);
    std::unique_ptr<mt::XmlElement> root(parser.parseStream(&source));
    for (auto _ : state) {
        mt::MemoryStream out(mt::STREAM_BINARY);
        mt::XmlWriter::writeTextDocument(root.get(), &out);
        benchmark::DoNotOptimize(out.getSize());
    }
}
BENCHMARK(BM_MtWriteText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
