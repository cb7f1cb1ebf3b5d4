#pragma once
// The archive checksum of a payload resource, read from the executable's
// file instead of from its mapped image. Summing the image touches every
// page of it for the first time, which costs the loader about three times
// as long as reading the same bytes from the file (measured under Wine on
// a 1 GiB installer: 0.67 s against 0.22 s), and both processes of an
// install check the payload when they start.

#include <cstddef>
#include <cstdint>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// The ArchiveChecksum of data[0, size - 24) (the archive before its
// trailer), where data lies in the image mapped at imageBase from file.
// False when that cannot be had from the file (not an image layout, the
// bytes not backed by the file, the file unreadable): the caller sums the
// image then.
bool ArchiveChecksumFromFile(const WideString& file, const uint8_t* imageBase, const uint8_t* data, size_t size,
                             uint32_t* checksum);
