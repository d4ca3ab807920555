// The record and action shapes other than dialled numbers: the SP table,
// the satellite and cellular identities, per-NAM records, optional per-NAM
// items, timers and counters, tones, and the fixed write sequences.
#pragma once

#include "settings_table.h"
#include "vxconnect.h"
#include "vxutconfig.h"

namespace vx::utconfig {

// One known service provider (the two name array layouts of either width).
HRESULT SpEntryShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, knownsp_entry_type* entry);
HRESULT SpEntryShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, knownsp_entry_unicode_type* entry);
// MCC and MNC packed as in the SP table: row.path, row.path2.
// Registration form: get also reads digit_tmode (row.path3); set clears.
HRESULT SpRegistrationShape(IVexParams1* params, const Row& row, GetSetType gstType, last_sp_reg_type* reg);
// Home form: get and set of the pair.
HRESULT HomeSpShape(IVexParams1* params, const Row& row, GetSetType gstType, last_sp_reg_type* sp);

HRESULT SatelliteImsiShape(IVexParams1* params, const Row& row, GetSetType gstType, orbitnet_imsi_type* imsi);
HRESULT HomeGatewayShape(IVexParams1* params, const Row& row, GetSetType gstType, int16_t* channel, int32_t* gateway);
HRESULT ChannelListShape(IVexParams1* params, const Row& row, GetSetType gstType, aclist_type* list);

HRESULT CellularImsiShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, cellular_imsi_type* imsi);
HRESULT AmpsMinShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, amps_min_type* min);

// Records of plain leaves, one per non-null path of the row, in row order.
HRESULT CdmaChannelsShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, cdma_channels_type* channels);
HRESULT ControlChannelsShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                             amps_first_control_channel_type* channels);
HRESULT TermRegistrationShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                              term_registration_type* reg);
HRESULT SidNidPairsShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, nv_sid_nid_type* pairs);

// Optional per-NAM items: get answers a default when the item is in
// neither the cache nor the UT.
HRESULT SidLockShape(IVexParams1* params, const Row& row, GetSetType gstType, int32_t cdma, int n,
                     lock_sid_list_type* list);
HRESULT AccolcShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, int32_t cdma, uint8_t set,
                    uint8_t* out);
HRESULT OptionalChannelShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, uint16_t set,
                             uint16_t* out);
HRESULT OptionalEnumShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet, uint32_t ulSet,
                          uint32_t* pulResult, LPWSTR* ppszResult);

// Two T_UCHAR leaves; set clears both.
HRESULT OrderReasonShape(IVexParams1* params, const Row& row, GetSetType gstType, uint8_t* first, uint8_t* second);
// Timers (hr, min, sec) and counters; set clears.
HRESULT CallTimeShape(IVexParams1* params, const Row& row, GetSetType gstType, nv_calltime_type* time);
HRESULT CallCountShape(IVexParams1* params, const Row& row, GetSetType gstType, uint32_t* count);

HRESULT ToneIndexShape(IVexParams1* params, const Row& row, GetSetType gstType, AFUTToneIDs tone, uint8_t* data);
HRESULT CustomToneShape(IVexParams1* params, const Row& row, GetSetType gstType, nv_afut_custom_tone_type* tone);
HRESULT CustomDtmfShape(IVexParams1* params, const Row& row, GetSetType gstType, nv_afut_custom_dtmf_tone_type* dtmf);

// Actions.
HRESULT ProgDateNowAction(IVexParams1* params, const Row& row);
HRESULT IncrementWdcAction(IVexParams1* params, const Row& row);
HRESULT ResetSidNidListAction(IVexParams1* params, const Row& row);

// Whether a language name occurs in the language enum's member list.
HRESULT IsLanguageShape(IVexParams1* params, const Row& row, const int16_t* name, int32_t* result);

}  // namespace vx::utconfig
