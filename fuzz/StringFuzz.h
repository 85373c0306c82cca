#pragma once
// Runs a sequence of String operations decoded from bytes and checks every result against a model built on
// std::string: the text, the length, the capacity that the growth rules give, and the answers of the
// searches, comparisons, hashes and number conversions. Shared by the libFuzzer target and by the test that
// replays its corpus; a mismatch traps.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "fuzz/FuzzBytes.h"
#include "mt/core/String.h"

namespace fuzzing {

// What a String should hold: its text, whether it has a buffer and owns it, and its capacity.
struct StringModel {
    std::string text;
    bool hasBuffer = false;
    bool owner = true;
    int capacity = 0;

    static int growthCapacity(int length) {
        if (length > (1 << 30))
            return length;
        int power = 1;
        while (power < length)
            power <<= 1;
        return power;
    }
    void assign(const std::string& value) {
        int n = static_cast<int>(value.size());
        if (!owner || capacity <= n) {
            capacity = n + 1;
            owner = true;
        }
        text = value;
        hasBuffer = true;
    }
    void append(const std::string& more) {
        if (more.empty())
            return;
        int length = static_cast<int>(text.size() + more.size());
        if (capacity <= length) {
            if (!owner)
                return;
            reserve(growthCapacity(length));
        }
        text += more;
    }
    void reserve(int n) {
        if (!owner)
            return;
        if (n < 0)
            n = 0;
        capacity = n;
        hasBuffer = n > 0;
        if (static_cast<int>(text.size()) > n)
            text.resize(static_cast<size_t>(n));
    }
    void erase(int first, int last) {
        int length = static_cast<int>(text.size());
        if (!hasBuffer || first < 0 || first >= length)
            return;
        int lastKept = last < length - 1 ? last : length - 1;
        if (lastKept < first)
            return;
        text.erase(static_cast<size_t>(first), static_cast<size_t>(lastKept - first + 1));
    }
    void truncate(int n) {
        if (n < 0)
            n = 0;
        if (owner) {
            reserve(n);
        } else if (n > capacity) {
            return;
        }
        if (!hasBuffer)
            return;
        text.resize(static_cast<size_t>(n), ' ');
    }
    int replaceAll(const std::string& what, const std::string& with) {
        if (!hasBuffer || what.empty())
            return 0;
        std::string result;
        size_t position = 0;
        int count = 0;
        for (size_t found; (found = text.find(what, position)) != std::string::npos; ++count) {
            result += text.substr(position, found - position) + with;
            position = found + what.size();
        }
        result += text.substr(position);
        assign(result);
        return count;
    }
    int find(const std::string& what) const {
        if (!hasBuffer)
            return -1;
        size_t found = text.find(what);
        return found == std::string::npos ? -1 : static_cast<int>(found);
    }
    static char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
    bool matchesPattern(const std::string& pattern) const {
        // subject[j] for j == length is the terminator.
        auto at = [this](size_t j) { return j < text.size() ? lower(text[j]) : '\0'; };
        size_t j = 0;
        for (size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == '*') {
                char next = i + 1 < pattern.size() ? lower(pattern[i + 1]) : '\0';
                while (j <= text.size() && at(j) != next)
                    ++j;
                if (j > text.size())
                    return false;
                continue;
            }
            if (j > text.size() || at(j) != lower(pattern[i]))
                return false;
            ++j;
        }
        return true;
    }
    uint32_t hash() const {
        uint32_t h = 0;
        for (char c : text)
            h = h * 7919u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
        return h;
    }
};

inline void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

inline void checkSame(const mt::String& actual, const StringModel& model) {
    check(actual.length() == static_cast<int>(model.text.size()));
    check(std::memcmp(actual.cstr(), model.text.data(), model.text.size()) == 0);
    check(actual.cstr()[actual.length()] == '\0');
    check(actual.capacity() == model.capacity);
    check(actual.ownsBuffer() == model.owner);
    check(actual == model.text.c_str());
}

// Texts without NUL bytes: the string's searches and comparisons work on C texts.
inline std::string textFrom(FuzzBytes& in, size_t longest) {
    std::string value = in.text(longest);
    for (char& c : value) {
        if (c == '\0')
            c = '*';
    }
    return value;
}

// An index near the interesting values: small, around the length, or at the ends of the int range.
inline int indexFrom(FuzzBytes& in, int length) {
    uint8_t kind = in.byte();
    int small = in.byte();
    switch (kind % 8) {
        case 0:
            return INT_MAX;
        case 1:
            return INT_MIN;
        case 2:
            return -1 - small % 4;
        case 3:
            return length + small % 4;
        case 4:
            return length - 1 - small % 4;
        case 5:
            return INT_MAX - small;
        default:
            return small % (length + 8);
    }
}

inline int32_t parseIntModel(const std::string& s) {
    uint32_t value = 0;
    size_t i = 0;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        for (i = 2; i < s.size(); ++i) {
            char c = s[i];
            int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
            if (digit < 0)
                break;
            value = value * 16u + static_cast<uint32_t>(digit);
        }
        return static_cast<int32_t>(value);
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(s[i] - '0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

inline bool parseBoolModel(const std::string& s) {
    if (s.empty() || s[0] == '0')
        return false;
    return s.compare(0, 5, "false") != 0 && s.compare(0, 5, "FALSE") != 0;
}

inline int fuzzString(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    // A wrapped buffer lives as long as the string that may point into it.
    char wrappedBuffer[64];
    mt::String s;
    StringModel model;
    uint8_t start = in.byte();
    if (start % 4 == 1) {
        std::string initial = textFrom(in, 40);
        s = mt::String(initial.c_str());
        model.assign(initial);
    } else if (start % 4 == 2) {
        // A non-owning string over a caller's buffer of a chosen capacity.
        std::string initial = textFrom(in, 40);
        int capacity = static_cast<int>(initial.size()) + in.byte() % 16;
        std::memcpy(wrappedBuffer, initial.c_str(), initial.size() + 1);
        s = mt::String::wrap(wrappedBuffer, capacity);
        model.text = initial;
        model.hasBuffer = true;
        model.owner = false;
        model.capacity = capacity;
    } else if (start % 4 == 3) {
        int32_t value = static_cast<int32_t>(in.u32());
        s = mt::String(value);
        model.assign(std::to_string(value));
    }
    checkSame(s, model);

    for (int step = 0; step < 400 && !in.done(); ++step) {
        int length = s.length();
        switch (in.byte() % 20) {
            case 0: {
                std::string more = textFrom(in, 64);
                s.append(more.c_str());
                model.append(more);
                break;
            }
            case 1: {
                char c = static_cast<char>(in.byte() | 1);
                s.append(c);
                model.append(std::string(1, c));
                break;
            }
            case 2: {  // itself, whole or from a position inside its own buffer
                if (length > (1 << 16))
                    break;  // doubling on every step would outgrow any memory
                int from = length > 0 ? in.byte() % (length + 1) : 0;
                std::string tail = model.text.substr(static_cast<size_t>(from));
                if (in.byte() % 2 == 0) {
                    s.append(s);
                    model.append(model.text);
                } else {
                    s.append(s.charPtrAt(from));
                    model.append(tail);
                }
                break;
            }
            case 3: {  // a count no string can hold: nothing changes and the text is not read
                int count = INT_MAX - static_cast<int>(in.byte() % (length + 1));
                s.append("x", count);
                break;
            }
            case 4: {
                std::string value = textFrom(in, 64);
                s = value.c_str();
                model.assign(value);
                break;
            }
            case 5: {
                int first = indexFrom(in, length);
                int last = indexFrom(in, length);
                s.erase(first, last);
                model.erase(first, last);
                break;
            }
            case 6: {
                int n = in.byte() % (length + 8);
                s.truncate(n);
                model.truncate(n);
                break;
            }
            case 7: {
                int n = static_cast<int>(in.u16() % 4096);
                s.reserve(n);
                model.reserve(n);
                break;
            }
            case 8: {
                std::string what = textFrom(in, 4);
                std::string with = textFrom(in, 8);
                if (what.empty() || length > (1 << 16))
                    break;
                int count = s.replaceAll(what.c_str(), with.c_str());
                check(count == model.replaceAll(what, with));
                break;
            }
            case 9:
                s.toLowerCase();
                for (char& c : model.text)
                    c = StringModel::lower(c);
                break;
            case 10: {
                std::string what = textFrom(in, 6);
                check(s.find(what.c_str()) == model.find(what));
                check(s.find(mt::String(what.c_str())) == model.find(what));
                break;
            }
            case 11: {
                std::string pattern = textFrom(in, 12);
                check(s.matchesPattern(pattern.c_str()) == model.matchesPattern(pattern));
                break;
            }
            case 12:
                check(s.hashCode() == (model.hasBuffer ? model.hash() : 0u));
                break;
            case 13: {  // copies are deep and sized to their text
                mt::String copy(s);
                StringModel copyModel;
                if (model.hasBuffer)
                    copyModel.assign(model.text);
                checkSame(copy, copyModel);
                copy.append("!");
                checkSame(s, model);
                mt::String moved(std::move(copy));
                check(copy.length() == 0 && moved.length() == static_cast<int>(model.text.size()) + 1);
                break;
            }
            case 14: {
                std::string right = textFrom(in, 32);
                mt::String joined = s + right.c_str();
                check(joined == (model.text + right).c_str());
                check((s + mt::String(right.c_str())) == joined);
                check((s == mt::String(right.c_str())) == (model.text == right));
                check((s != right.c_str()) == (model.text != right));
                break;
            }
            case 15: {
                std::string number = textFrom(in, 12);
                check(mt::String::parseInt(number.c_str()) == parseIntModel(number));
                check(mt::String::parseBool(number.c_str()) == parseBoolModel(number));
                mt::String::parseFloat(number.c_str());
                check(s.toInt() == parseIntModel(model.text));
                break;
            }
            case 16: {
                int32_t value = static_cast<int32_t>(in.u32());
                check(mt::String(value) == std::to_string(value).c_str());
                break;
            }
            case 17: {  // assignment from a text inside its own buffer
                int from = length > 0 ? in.byte() % (length + 1) : 0;
                std::string tail = model.text.substr(static_cast<size_t>(from));
                s = s.charPtrAt(from);
                model.assign(tail);
                break;
            }
            case 18: {
                mt::String other(textFrom(in, 16).c_str());
                s = other;
                model.assign(other.cstr());
                break;
            }
            default:
                if (length > 0) {
                    int i = in.byte() % length;
                    check(*s.charPtrAt(i) == model.text[static_cast<size_t>(i)]);
                }
                break;
        }
        checkSame(s, model);
    }
    return 0;
}

}  // namespace fuzzing
