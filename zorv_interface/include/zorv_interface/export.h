#pragma once

// Symbols marked ZORV_SDK_API form the library's exported interface; everything
// else is built with hidden visibility.
#if defined(_WIN32)
#  if defined(ZORV_SDK_BUILDING)
#    define ZORV_SDK_API __declspec(dllexport)
#  else
#    define ZORV_SDK_API __declspec(dllimport)
#  endif
#else
#  define ZORV_SDK_API __attribute__((visibility("default")))
#endif
