#pragma once
// A list of WideStrings, each carrying its tag, stored as heap items in a
// PointerArray. The list owns its items.

#include "util/pointer_array.h"
#include "util/wide_string.h"

class StringList {
 public:
  StringList() = default;
  StringList(const StringList& other);
  StringList& operator=(const StringList& other);
  StringList(StringList&&) noexcept = default;
  StringList& operator=(StringList&& other) noexcept;
  ~StringList() { Clear(); }

  void Add(const WideString& text, int tag);
  void Add(const WideString& text) { Add(text, text.Tag()); }
  void InsertAt(int index, const WideString& text);  // beyond the end appends
  void RemoveAt(int index);
  void Clear();
  int Count() const { return items_.Count(); }
  // The item at a 0-based index; an empty string when out of range.
  const WideString& Item(int index) const;
  bool Contains(const WideString& text, bool ignoreCase) const;
  // 0-based index of the first equal item, -1 when none.
  int IndexOf(const WideString& text, bool ignoreCase) const;

 private:
  PointerArray items_;
};

// Clears list and adds one item per line: a line ends at a carriage return,
// line feeds directly after it are skipped, and the text after the last
// carriage return is the last item.
void SplitLines(const WideString& text, StringList& list);
