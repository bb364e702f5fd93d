#include "engine/table_fit.h"

#include <cstdint>

#include "engine/mapping_table.h"

namespace glyphshift::engine {
namespace {

bool IsC1Control(char16_t unit) noexcept { return unit >= 0x80 && unit <= 0x9F; }

// Every byte of the sample defined in `table`; with `graphic`, none of them a C1 control either.
bool Defines(const MappingTable& table, const ByteSet& sample, bool graphic) noexcept {
  for (unsigned b = 0; b < 256; ++b) {
    if (!sample.Has(static_cast<std::uint8_t>(b))) continue;
    const char16_t unit = table.units[b];
    if (unit == kMappingUndefined || (graphic && IsC1Control(unit))) return false;
  }
  return true;
}

// `wider` reads every character of `narrow` (its C1 controls aside) as `narrow` does.
bool ReadsAllOf(const MappingTable& wider, const MappingTable& narrow) noexcept {
  for (unsigned b = 0; b < 256; ++b) {
    const char16_t unit = narrow.units[b];
    if (unit != kMappingUndefined && !IsC1Control(unit) && wider.units[b] != unit) return false;
  }
  return true;
}

}  // namespace

CharsetCode FitTableToSample(CharsetCode detected, const ByteSet& sample) noexcept {
  if (!IsSingleByteCode(detected) || PrimaryRecordFromCode(detected) == nullptr) return kNoFittingTable;
  const MappingTable& table = kMappingTables[detected];
  if (Defines(table, sample, /*graphic=*/true)) return detected;
  for (CharsetCode code = 0; code < kSingleByteTableCount; ++code) {
    if (code == detected || PrimaryRecordFromCode(code) == nullptr) continue;
    const MappingTable& wider = kMappingTables[code];
    if (ReadsAllOf(wider, table) && Defines(wider, sample, /*graphic=*/true)) return code;
  }
  return Defines(table, sample, /*graphic=*/false) ? detected : kNoFittingTable;
}

}  // namespace glyphshift::engine
