#pragma once
// Whether a member should be stored without its full LZMA pass. The full
// pass over data that does not compress (media, archives, random bytes)
// runs at a couple of megabytes a second and is then thrown away; a fast
// pass over the member's first megabyte tells the same at a small part of
// that cost.

#include <cstddef>
#include <cstdint>

// How much of a member the probe compresses, and the fast setting it uses.
constexpr size_t kStoreProbeBytes = 1u << 20;
constexpr uint32_t kStoreProbePreset = 0;

// True when the first kStoreProbeBytes of data[0, size) (all of it when
// shorter), compressed at kStoreProbePreset, are not at least a
// savingDivisor-th smaller: store the member as it is. False for an empty
// member, for data that compresses, and when the probe's encoder fails (the
// full pass then decides, and reports the failure). Depends on the bytes
// alone, never on the thread that runs it.
bool StoreWithoutCompressing(const uint8_t* data, size_t size, size_t savingDivisor);

// The probe and, when x86GainDivisor is not 0, fast passes with and without
// the x86 branch filter: x86Filter is set when the filter makes the bytes at
// least an x86GainDivisor-th smaller (the member is machine code, and its
// full pass runs with the filter). A member larger than kStoreProbeBytes is
// judged on kX86ProbeWindows pieces spread over all of it, since a
// program's first megabyte may hold no code. Never for a member to be
// stored, nor for one shorter than kX86ProbeMinimum, where the filter
// cannot pay for its mark.
struct ProbeVerdict {
  bool store = false;
  bool x86Filter = false;
};
constexpr size_t kX86ProbeMinimum = 4096;
constexpr size_t kX86ProbeWindows = 16;
ProbeVerdict ProbeMember(const uint8_t* data, size_t size, size_t savingDivisor, size_t x86GainDivisor);
