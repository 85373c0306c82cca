// Every allocation through operator new fails in turn while documents are read, copied and written: the
// reader, the copy and the writers must report it by their results, never by an exception.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlWriter.h"
#include "support/FailingAllocator.h"

namespace {

// A document with nesting, attributes, repeated names, text and percent-encoded values.
std::string sampleDocument() {
    std::string text = "<catalogue version=\"2\">";
    for (int i = 0; i < 30; ++i) {
        text += "<item id=\"" + std::to_string(i) + "\" name=\"n%20" + std::to_string(i) + "\" id=\"x\">";
        text += "<part kind=\"a\"><leaf>text " + std::to_string(i) + "</leaf></part></item>";
    }
    return text + "</catalogue>";
}

}  // namespace

TEST(AllocationFailure, ReadingCopyingAndWritingReportFailuresInsteadOfThrowing) {
    std::string document = sampleDocument();
    int points = failEveryAllocation([&] {
        mt::MemoryStream input(reinterpret_cast<uint8_t*>(document.data()),
                               static_cast<int32_t>(document.size()),
                               mt::STREAM_BINARY | mt::STREAM_NOT_OWNER);
        mt::XmlParser parser;
        std::unique_ptr<mt::XmlElement> root(parser.parseStream(&input));
        if (!root)
            return;
        std::unique_ptr<mt::XmlElement> copy(new (std::nothrow) mt::XmlElement(*root));
        mt::MemoryStream text(mt::STREAM_BINARY), binary(mt::STREAM_BINARY);
        mt::XmlWriter::writeTextDocument(root.get(), &text);
        mt::XmlWriter::writeBinary(root.get(), &binary, false);
    });
    EXPECT_GT(points, 10);
}

TEST(AllocationFailure, ACopyThatRunsOutOfMemoryLeavesOutWhatItCouldNotCopy) {
    std::string document = sampleDocument();
    mt::MemoryStream input(reinterpret_cast<uint8_t*>(document.data()), static_cast<int32_t>(document.size()),
                           mt::STREAM_BINARY | mt::STREAM_NOT_OWNER);
    mt::XmlParser parser;
    std::unique_ptr<mt::XmlElement> root(parser.parseStream(&input));
    ASSERT_TRUE(root);
    // A copy made with memory to spare has every element of the source.
    mt::XmlElement whole(*root);
    EXPECT_EQ(whole.sizeEstimate(), root->sizeEstimate());
    // With allocation failing from the start the copy is smaller but well formed, and no exception leaves it.
    allocationsLeft = 0;
    bool threw = false;
    try {
        mt::XmlElement partial(*root);
        allocationsLeft = -1;
        EXPECT_LT(partial.sizeEstimate(), root->sizeEstimate());
    } catch (...) {
        threw = true;
    }
    allocationsLeft = -1;
    EXPECT_FALSE(threw);
}
