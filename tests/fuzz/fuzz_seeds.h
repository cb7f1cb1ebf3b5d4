#pragma once
// Every fuzz target defines its built-in seeds: the replay program runs
// them when given no files, and "--write-seeds DIR" stores them as a
// starting corpus for libFuzzer.

#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<std::vector<uint8_t>> FuzzSeeds();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
