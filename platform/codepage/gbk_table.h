// SPDX-License-Identifier: MIT
#pragma once
// The GBK tables, generated at build time (gbk_table_generator.cpp): one UTF-16 unit per lead
// byte 0x81-0xFE and trail byte 0x40-0xFE, 0 where the pair is not defined; and the GBK bytes
// of every BMP unit.

#include <cstdint>

namespace marrowtune::codepage {

inline constexpr int GbkFirstLead = 0x81;
inline constexpr int GbkFirstTrail = 0x40;
inline constexpr int GbkLastTrail = 0xFE;
inline constexpr int GbkTrailCount = GbkLastTrail - GbkFirstTrail + 1;
inline constexpr int GbkTableSize = (0xFE - GbkFirstLead + 1) * GbkTrailCount;

/// Number of defined pairs in the table (the C library's GBK plus the user-defined areas).
extern const int GbkDefinedCount;
/// The unit of each pair, indexed by (lead - 0x81) * 191 + (trail - 0x40); 0 when undefined.
extern const char16_t GbkToUnicode[GbkTableSize];
/// The GBK bytes of each BMP unit: a pair as lead * 256 + trail, 0x80 for the euro sign, 0 when
/// the unit has no GBK form.
extern const std::uint16_t UnicodeToGbk[0x10000];

} // namespace marrowtune::codepage
