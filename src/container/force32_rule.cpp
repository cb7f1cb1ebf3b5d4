#include "container/force32_rule.h"

#include "script/directives.h"

bool SplitForce32BitCondition(const WideString& text, WideString& valueName, WideString& relativePath) {
  valueName.Clear();
  relativePath.Clear();
  const WideString separator(kForce32BitSeparator);
  const int at = text.Find(separator);
  if (at == 0) return false;
  const int rest = at + separator.Length();
  if (text.Find(separator, rest) != 0) return false;
  valueName = text.Left(at - 1);
  relativePath = text.From(rest);
  return true;
}
