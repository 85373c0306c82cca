#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string>

namespace platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// iconv descriptors are costly to open (the first one loads a module) and not safe to share between
// threads while converting, so they are opened once per target and used under one lock.
class ConverterCache {
  public:
    ~ConverterCache() {
        for (auto& entry : converters_) {
            if (entry.second != kNoConverter) {
                iconv_close(entry.second);
            }
        }
    }

    // The descriptor from `from` to `to`, or kNoConverter. The caller holds mutex().
    iconv_t get(const std::string& from, const std::string& to) {
        auto key = from + '>' + to;
        auto found = converters_.find(key);
        if (found != converters_.end()) {
            return found->second;
        }
        iconv_t cd = iconv_open(to.c_str(), from.c_str());
        converters_.emplace(key, cd);
        return cd;
    }

    std::mutex& mutex() { return mutex_; }

  private:
    std::mutex mutex_;
    std::map<std::string, iconv_t> converters_;
};

ConverterCache& cache() {
    static ConverterCache instance;
    return instance;
}

void appendUtf16LeBytes(const char* bytes, size_t count, std::u16string& out) {
    size_t first = out.size();
    out.resize(first + count / 2);
    for (size_t i = 0; i + 1 < count; i += 2) {
        out[first + i / 2] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
}

// Runs the whole input through cd into UTF-16LE. A byte that cannot be decoded is replaced: in a
// single-byte code page an undefined byte of the C1 range 0x80..0x9F becomes the code point of the same
// value (what Windows does), anything else becomes U+FFFD. Decoding then continues after that byte.
void decodeToUtf16(iconv_t cd, std::string_view text, bool singleByte, std::u16string& out) {
    out.clear();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    out.reserve(text.size());  // no code page makes more UTF-16 units than bytes, but for UTF-16 sources
    char buffer[8192];
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        int error = errno;
        appendUtf16LeBytes(buffer, sizeof(buffer) - outLeft, out);
        if (result != static_cast<size_t>(-1) || error == E2BIG) {
            continue;  // done, or the buffer was full and its contents are appended
        }
        if (error == EILSEQ) {
            unsigned char byte = static_cast<unsigned char>(*in);
            out.push_back(singleByte && byte >= 0x80 && byte <= 0x9F ? static_cast<char16_t>(byte)
                                                                     : kReplacement);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        // EINVAL: a sequence cut off at the end of the input.
        out.push_back(kReplacement);
        break;
    }
    // A stateful encoding may still owe output for its shift state.
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    appendUtf16LeBytes(buffer, sizeof(buffer) - outLeft, out);
}

}  // namespace

std::string codePageName(uint32_t codePage) {
    switch (codePage) {
        case 0:  // the host's 8-bit code page
        case 3:  // the thread's 8-bit code page
        case 65001:
            return "UTF-8";
        case 1:
            return "CP437";  // the OEM code page of western systems
        case 65000:
            return "UTF-7";
        case 1200:
            return "UTF-16LE";
        case 1201:
            return "UTF-16BE";
        case 12000:
            return "UTF-32LE";
        case 12001:
            return "UTF-32BE";
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 10000:
            return "MACINTOSH";
        case 10007:
            return "MAC-CYRILLIC";
        case 932:
            return "CP932";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        case 950:
            return "CP950";
        case 1361:
            return "JOHAB";
        case 20932:
        case 51932:
            return "EUC-JP";
        case 51949:
            return "EUC-KR";
        case 50220:
            return "ISO-2022-JP";
        case 54936:
            return "GB18030";
        case 28603:
            return "ISO-8859-13";
        case 28605:
            return "ISO-8859-15";
        default:
            break;
    }
    if (codePage >= 28591 && codePage <= 28599) {
        return "ISO-8859-" + std::to_string(codePage - 28590);
    }
    // The OEM and Windows pages (437, 850, 866, 874, 1250 ... 1258) are known to iconv as CP<number>.
    if ((codePage >= 437 && codePage <= 874) || (codePage >= 1250 && codePage <= 1258)) {
        std::string name = "CP" + std::to_string(codePage);
        std::lock_guard<std::mutex> lock(cache().mutex());
        if (cache().get(name, "UTF-16LE") != kNoConverter) {
            return name;
        }
    }
    return {};
}

bool isSingleByteCodePage(uint32_t codePage) {
    return (codePage >= 437 && codePage <= 874) || (codePage >= 1250 && codePage <= 1258) ||
           (codePage >= 28591 && codePage <= 28605) || codePage == 1 || codePage == 20866 ||
           codePage == 21866 || codePage == 10000 || codePage == 10007;
}

bool multiByteToUtf16(uint32_t codePage, std::string_view text, std::u16string& out) {
    out.clear();
    std::string name = codePageName(codePage);
    if (name.empty()) {
        return false;
    }
    std::lock_guard<std::mutex> lock(cache().mutex());
    iconv_t cd = cache().get(name, "UTF-16LE");
    if (cd == kNoConverter) {
        return false;
    }
    decodeToUtf16(cd, text, isSingleByteCodePage(codePage), out);
    return true;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    std::lock_guard<std::mutex> lock(cache().mutex());
    iconv_t cd = cache().get("UTF-16LE", "UTF-8");
    if (cd == kNoConverter) {
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    char buffer[1024];
    char* in = bytes.data();
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        int error = errno;
        out.append(buffer, sizeof(buffer) - outLeft);
        if (result != static_cast<size_t>(-1) || error == E2BIG) {
            continue;
        }
        // An unpaired surrogate (EILSEQ) or a high surrogate at the very end (EINVAL): one U+FFFD for
        // the unit, then go on after it.
        out.append("\xEF\xBF\xBD");
        size_t skip = inLeft < 2 ? inLeft : 2;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace platform
