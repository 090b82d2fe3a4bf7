#pragma once

// ThreadSanitizer does not model the fences asio places around handler calls, so GCC
// warns about them; the scheduler's mutex is what orders those handlers. Include this
// header ahead of every standard header in files that use asio.
#if defined(__SANITIZE_THREAD__)
#pragma GCC diagnostic ignored "-Wtsan"
#endif

#include <asio.hpp>
