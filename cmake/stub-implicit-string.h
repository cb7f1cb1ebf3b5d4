// Included first in every C++ file of the Windows trees (StubSize.cmake).
// libstdc++ declares std::string's members as instantiated in the library
// itself (string-inst.o); a program that links that object keeps all of
// it, since binutils keeps every linked function that has unwind data. The
// value -1 of this configuration macro (the one libstdc++ itself uses for
// its assertion builds) drops those declarations for std::string alone, so
// each file instantiates the members it uses and the installer's link keeps
// only those. Nothing else changes: it is the same template code that the
// library was built from.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
