// The host's processor state saves, as tests see them: whether the system offers the extended
// save (KeSaveExtendedProcessorState and its restore, which only newer systems export), and how
// often each save and restore ran, to show a driver pairs them and uses the one it should.
#pragma once

#include <cstdint>

namespace host {

// On by default and after a host reset. Off: MmGetSystemRoutineAddress finds neither routine
// and an image that imports one does not load, as on an older system.
void OfferExtendedStateSave(bool offered);
bool ExtendedStateSaveOffered();

struct ProcessorStateSaves {
    uint32_t FloatingPointSaves;
    uint32_t FloatingPointRestores;
    uint32_t ExtendedSaves;
    uint32_t ExtendedRestores;
    uint64_t LastExtendedMask;  // the mask of the latest extended save
};

// Since the last host reset (or ClearProcessorStateSaves).
ProcessorStateSaves ProcessorStateSaveCounts();
void ClearProcessorStateSaves();

// Host reset: offered again, counts cleared.
namespace detail {
void ResetProcessorState();
}  // namespace detail

}  // namespace host
