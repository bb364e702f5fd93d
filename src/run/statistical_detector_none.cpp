// A build without libuchardet (Windows: Debian has no MinGW build of it). The detector then never
// answers, so the byte rules decide; start-up says so once when the statistical method is asked.
#include "run/statistical_detector.h"

namespace glyphshift {

bool CStatisticalDetector::Available() { return false; }

CStatisticalDetector::CStatisticalDetector() : handle_(nullptr), failed_(true) {}

CStatisticalDetector::~CStatisticalDetector() = default;

bool CStatisticalDetector::Add(std::span<const std::uint8_t>) { return false; }

std::string CStatisticalDetector::Finish() { return {}; }

}  // namespace glyphshift
