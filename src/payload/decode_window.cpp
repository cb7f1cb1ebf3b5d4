#include "payload/decode_window.h"

#include <algorithm>

bool DecodeWindow::MayStart(uint64_t bytes) const {
  if (members_ == 0) return true;
  return members_ < limits_.members && bytes <= limits_.bytes && bytes_ <= limits_.bytes - bytes;
}

bool DecodeWindow::MayStartLarge(uint64_t bytes) const {
  return members_ == 0 || (bytes <= limits_.bytes && bytes_ <= limits_.bytes - bytes);
}

void DecodeWindow::Started(uint64_t bytes) {
  ++members_;
  bytes_ += bytes;
  peakMembers_ = std::max(peakMembers_, members_);
  peakBytes_ = std::max(peakBytes_, bytes_);
}

void DecodeWindow::Released(uint64_t bytes) {
  if (members_ > 0) --members_;
  bytes_ -= std::min(bytes_, bytes);
}
