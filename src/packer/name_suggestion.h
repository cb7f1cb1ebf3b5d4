#pragma once
// The nearest known name to a misspelt one, for "did you mean" hints.

#include <string>
#include <vector>

// The entry of known closest to word, comparing with ASCII letter case and
// blanks ignored and counting a swap of two neighbours as one edit; empty
// when none is close enough to be the name meant (at most one edit for
// names of up to four letters, two up to eleven, three beyond).
std::u16string NearestName(const std::u16string& word, const std::vector<std::u16string>& known);
