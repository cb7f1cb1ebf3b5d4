#include "pe/pe_status.h"

const char* PeStatusText(PeStatus status) {
  switch (status) {
    case PeStatus::Ok: return "no error";
    case PeStatus::NotPe: return "not a Windows executable (no valid PE header)";
    case PeStatus::Corrupt: return "the executable's headers or resources point outside the file";
    case PeStatus::Signed:
      return "the stub carries a digital signature, which packing would break; "
             "pack the unsigned stub and sign the installer after packing (osslsigncode, signtool)";
    case PeStatus::Overlay:
      return "the executable has data appended after its last section, which cannot be kept safely";
    case PeStatus::Unsupported: return "the executable's layout leaves no room to add a resource section";
    case PeStatus::TooLarge: return "the result would reach 4 GiB";
    case PeStatus::NotFound: return "the resource was not found";
  }
  return "unknown error";
}
