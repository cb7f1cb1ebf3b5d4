#pragma once
#include <ostream>

#include "util/wide_string.h"

// Lets assertions print WideStrings.
inline std::ostream& operator<<(std::ostream& out, const WideString& s) { return out << '"' << s.ToUtf8() << '"'; }
inline void PrintTo(const WideString& s, std::ostream* out) { *out << s; }
