#include "packer/name_suggestion.h"

#include <algorithm>

namespace {

std::u16string Folded(const std::u16string& text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u' ' || c == u'\t') continue;
    out += (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
  }
  return out;
}

// Edits (insert, delete, replace, swap of neighbours) from a to b.
size_t EditDistance(const std::u16string& a, const std::u16string& b) {
  const size_t n = a.size(), m = b.size();
  std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

}  // namespace

std::u16string NearestName(const std::u16string& word, const std::vector<std::u16string>& known) {
  const std::u16string folded = Folded(word);
  // Very long words are no misspelling of a short name; skip the table.
  if (folded.size() > 64) return {};
  std::u16string best;
  size_t bestDistance = SIZE_MAX;
  for (const std::u16string& name : known) {
    std::u16string key = Folded(name);
    size_t distance = EditDistance(folded, key);
    size_t limit = key.size() <= 4 ? 1 : key.size() <= 11 ? 2 : 3;
    if (distance <= limit && distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  return best;
}
