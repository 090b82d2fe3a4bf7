#pragma once

// Implementation classes nested in an exported facade would be exported with it;
// this keeps them out of the shared library's interface.
#if defined(__GNUC__)
#define ZORV_RTDE_HIDDEN __attribute__((visibility("hidden")))
#else
#define ZORV_RTDE_HIDDEN
#endif
