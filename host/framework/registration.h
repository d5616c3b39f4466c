// Internal to host/framework: the registrations drivers made with StreamClassRegisterAdapter.
#pragma once

#include "platform/strmini.h"

namespace host::framework {

// Copies the registration of a driver object into `out`; false when it has none.
bool FindRegistration(PDRIVER_OBJECT Driver, HW_INITIALIZATION_DATA* out);

// At unload.
void ForgetRegistration(PDRIVER_OBJECT Driver);

}  // namespace host::framework
