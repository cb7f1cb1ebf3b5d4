#pragma once
// What the test's Wine prefix holds, taken from inside it, so that a test can
// show a run left the machine as it found it: every file and folder of drive
// C: with its size and a sum of its content, and every key and value of HKLM and
// HKCU (the 32-bit view included: under Wow6432Node). What Wine itself
// changes between any two moments, and the temporary folders, are left out;
// prefix_snapshot.cpp lists each exclusion with its reason.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

struct SnapshotFile {
  std::wstring path;  // as found, e.g. C:\Program Files\Product\app.txt
  bool folder = false;
  uint64_t size = 0;
  uint64_t sum = 0;
  DWORD readError = 0;  // not 0: the content could not be read
};

struct SnapshotValue {
  std::wstring name;  // as found; empty: the key's default value
  DWORD type = 0;
  std::string data;
};

struct SnapshotKey {
  std::wstring path;  // e.g. HKLM\Software\Product
  // By the name upper-cased (ASCII letters), as Windows matches names.
  std::map<std::wstring, SnapshotValue> values;
};

struct PrefixSnapshot {
  // Both by the path upper-cased (ASCII letters), as Windows matches names.
  std::map<std::wstring, SnapshotFile> files;
  std::map<std::wstring, SnapshotKey> keys;
};

// Reads C:\ (and alsoFolders, e.g. the small drive's root) and the registry
// now; takes a few hundred milliseconds in a fresh prefix. What cannot be
// read is kept with its error, so that a comparison reports it rather than
// passing over it.
PrefixSnapshot TakePrefixSnapshot(const std::vector<WideString>& alsoFolders = {});

// One line per difference, in path order: "added file C:\...",
// "changed file C:\... (size 10 -> 12)", "removed folder C:\...",
// "added key HKLM\...", "changed value HKLM\...\Name (REG_SZ "a" -> REG_SZ "b")",
// "removed value ...". A key that appears or goes is reported with each of its
// values. Empty when the two are equal.
std::vector<std::string> DifferencesFrom(const PrefixSnapshot& before, const PrefixSnapshot& after);

// The differences as one text, a line each, for a failed expectation.
std::string DifferencesText(const std::vector<std::string>& differences);
