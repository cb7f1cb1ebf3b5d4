#pragma once
// Platform variants of one payload file. A destination line may carry a
// marker between the file's name and its extension: "__PLI_WIN64" for the
// 64-bit variant, "__PLI_UNICODE" for the Unicode variant; without one it is
// the plain variant. All variants install under the marker-free name, and at
// most one of them is installed: on 64-bit Windows the 64-bit variant wins,
// the Unicode variant wins over the plain one everywhere, and a 64-bit
// variant is never installed on 32-bit Windows.

#include "util/string_list.h"
#include "util/wide_string.h"

// Removes the marker from destination (in place) and says whether the entry
// is installed, given the verbatim destination lines of every "[CopyFile]"
// (compared with ASCII case folding).
bool AcceptVariantFor(WideString& destination, const StringList& copyTargets, bool is64BitWindows);

// True when the destination line holds a marker in any letter case: only
// then can an entry have a twin among the others.
bool HasVariantMarker(const WideString& destination);
