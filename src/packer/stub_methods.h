#pragma once
// Which member methods a stub reads. A stub names them in a small resource
// (IDR_MEMBER_METHODS); one made before that resource existed reads LZMA
// and stored members only, so the packer never gives it a member packed
// any other way.

#include <cstddef>
#include <cstdint>

struct StubMethods {
  bool x86Lzma = false;  // "lzma-x86": LZMA behind the x86 branch filter
  bool solid = false;    // "solid": small members as slices of solid blocks
};

StubMethods MethodsOfStub(const uint8_t* stub, size_t size);
