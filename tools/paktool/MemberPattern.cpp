#include "tools/paktool/MemberPattern.h"

namespace paktool {

namespace {

char folded(char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c == '\\' ? '/' : c;
}

}  // namespace

bool hasWildcard(const std::string& pattern) {
    return pattern.find_first_of("*?") != std::string::npos;
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    // Greedy matching that returns to the last '*' on a mismatch: at most pattern × name steps.
    size_t p = 0, n = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || folded(pattern[p]) == folded(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (folded(a[i]) != folded(b[i]))
            return false;
    }
    return true;
}

bool selectsMember(const std::string& pattern, const std::string& name) {
    if (hasWildcard(pattern))
        return wildcardMatch(pattern, name);
    if (sameName(pattern, name))
        return true;
    std::string folder = pattern;
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return !folder.empty() && name.size() > folder.size() &&
           sameName(folder, name.substr(0, folder.size())) &&
           (name[folder.size()] == '/' || name[folder.size()] == '\\');
}

}  // namespace paktool
