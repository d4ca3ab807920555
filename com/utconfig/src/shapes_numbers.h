// The shapes that hold dialled numbers: digit lists, phone-book entries,
// the last dialled number, the directory number with its display copy, the
// NAM name with its mirror, and the two phone-book probes.
#pragma once

#include "settings_table.h"
#include "vxconnect.h"
#include "vxutconfig.h"

namespace vx::utconfig {

// One digit list entry (emergency numbers); row.path is the entry's
// ui_digits_type node, {n} the entry.
HRESULT DigitListShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, emergency_pnumber_type* number);

// Phone-book entry n; row.path is the entry's type node, row.path2 the item.
// The 8-bit form names through alpha[12]; the Unicode form through alpha[12]
// when the UT has it, else unicode_alpha[12].
HRESULT PhoneBookShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, phonebook_entry_type* entry);
HRESULT PhoneBookShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                       phonebook_entry_unicode_type* entry);

// The last dialled number; names as the phone-book entry's.
HRESULT LastDialedShape(IVexParams1* params, const Row& row, GetSetType gstType, last_dialed_digits_type* number);
HRESULT LastDialedShape(IVexParams1* params, const Row& row, GetSetType gstType,
                        last_dialed_digits_unicode_type* number);

// The directory number of the satellite (n = -1) or of NAM n, kept twice.
HRESULT DirectoryNumberShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet,
                             LPWSTR* ppszResult);

// The NAM name, mirrored into the name of the directory number's display copy.
HRESULT NamNameShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet, LPWSTR* ppszResult);

// 1 when reading row.path succeeds (`whenReadable` 1) or fails (0), else
// the other; S_OK either way.
HRESULT ReadProbeShape(IVexParams1* params, const Row& row, int32_t whenReadable, int32_t* result);

}  // namespace vx::utconfig
