// The last step of detection, open to tests with tables of their own.
#pragma once

#include <cstdint>

#include "engine/charset_catalogue.h"
#include "engine/mapping_table.h"

namespace glyphshift::engine {

// The first of `count` tables in which no byte of the text is undefined; 0 when there is none.
CharsetCode FirstDefiningTable(const MappingTable* tables, int count, const std::uint8_t* data,
                               std::uint32_t dataLength) noexcept;

}  // namespace glyphshift::engine
