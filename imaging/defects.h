// Defect-pixel repair from the calibrated defect table.
#pragma once

#include "imaging/defect_entry.h"
#include "platform/types.h"

// Replaces each listed pixel by the mean of its four same-colour neighbours, in table order and
// in place, so a defect two pixels from an earlier one averages over the repaired value.
// Entries are frame coordinates offset by the window origin (HOff, VOff: the H_Off and V_Off
// settings, made even). Entries outside the window, in its first row or column, or whose
// neighbours would fall outside the frame are skipped. Called by the frame work item,
// PASSIVE_LEVEL.
VOID CorrectDefects(PUCHAR Frame, const DefectEntry* DefectTable, ULONG Count, ULONG Width,
                    ULONG Height, ULONG HOff, ULONG VOff);
