#pragma once
// How member names on a paktool command line select members: like the archive's own lookup, without regard
// to ASCII case and with '\' taken for '/'.

#include <string>

namespace paktool {

// True when the pattern holds '*' (any run of characters, '/' included) or '?' (any one character).
bool hasWildcard(const std::string& pattern);

// The pattern matches the whole name.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// The same name: ASCII case and the kind of slash ignored.
bool sameName(const std::string& a, const std::string& b);

// A command-line name selects a member: a wildcard pattern that matches it, the member's own name, or a
// folder that holds it ("lang" and "lang/" select "lang/english.lng").
bool selectsMember(const std::string& pattern, const std::string& name);

}  // namespace paktool
