# Warning and sanitizer flags shared by every target of the project.
add_library(zorv_warnings INTERFACE)
target_compile_options(zorv_warnings INTERFACE -Wall -Wextra $<$<BOOL:${ZORV_WERROR}>:-Werror>)

if(ZORV_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ZORV_SANITIZE STREQUAL "thread")
  # -Wno-tsan: GCC warns that TSan does not model the fences asio uses.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -Wno-tsan)
  add_link_options(-fsanitize=thread)
elseif(NOT ZORV_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZORV_SANITIZE must be empty, 'address' or 'thread'")
endif()
