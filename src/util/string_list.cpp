#include "util/string_list.h"

StringList::StringList(const StringList& other) { *this = other; }

StringList& StringList::operator=(const StringList& other) {
  if (this == &other) return *this;
  Clear();
  for (int i = 0; i < other.Count(); ++i) Add(other.Item(i));
  return *this;
}

StringList& StringList::operator=(StringList&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  items_ = std::move(other.items_);
  return *this;
}

void StringList::Add(const WideString& text, int tag) {
  auto* item = new WideString(text);
  item->SetTag(tag);
  items_.Add(item);
}

void StringList::InsertAt(int index, const WideString& text) { items_.InsertAt(index, new WideString(text)); }

void StringList::RemoveAt(int index) { delete static_cast<WideString*>(items_.RemoveAt(index)); }

void StringList::Clear() {
  for (int i = 0; i < items_.Count(); ++i) delete static_cast<WideString*>(items_.At(i));
  items_.Clear();
}

const WideString& StringList::Item(int index) const {
  static const WideString kEmpty;
  auto* item = static_cast<const WideString*>(items_.At(index));
  return item != nullptr ? *item : kEmpty;
}

int StringList::IndexOf(const WideString& text, bool ignoreCase) const {
  for (int i = 0; i < Count(); ++i)
    if (Item(i).Compare(text, ignoreCase) == 0) return i;
  return -1;
}

bool StringList::Contains(const WideString& text, bool ignoreCase) const { return IndexOf(text, ignoreCase) >= 0; }

void SplitLines(const WideString& text, StringList& list) {
  list.Clear();
  WideString line;
  for (int i = 1; i <= text.Length(); ++i) {
    WChar c = text.CharAt(i);
    if (c == u'\r') {
      list.Add(line, 0);
      line.Clear();
      while (text.CharAt(i + 1) == u'\n') ++i;
    } else {
      line.AppendChar(c);
    }
  }
  list.Add(line, 0);
}
