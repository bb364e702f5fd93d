// The statistical detector on libuchardet.
#include <uchardet/uchardet.h>

#include "run/statistical_detector.h"

namespace glyphshift {

bool CStatisticalDetector::Available() { return true; }

CStatisticalDetector::CStatisticalDetector() : handle_(uchardet_new()), failed_(handle_ == nullptr) {}

CStatisticalDetector::~CStatisticalDetector() {
  if (handle_ != nullptr) uchardet_delete(handle_);
}

bool CStatisticalDetector::Add(std::span<const std::uint8_t> piece) {
  if (failed_) return false;
  // The library reports only a failed allocation, and keeps no answer after one.
  failed_ = uchardet_handle_data(handle_, reinterpret_cast<const char*>(piece.data()), piece.size()) != 0;
  return !failed_;
}

std::string CStatisticalDetector::Finish() {
  if (failed_) return {};
  uchardet_data_end(handle_);
  // Empty when no set reached the library's own confidence threshold.
  const char* name = uchardet_get_charset(handle_);
  return name != nullptr ? name : "";
}

}  // namespace glyphshift
