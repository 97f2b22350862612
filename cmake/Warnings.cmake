# SPDX-License-Identifier: GPL-2.0-or-later
# Warning flags shared by every target of the project.
add_library(vantorel_warnings INTERFACE)
target_compile_options(vantorel_warnings INTERFACE -Wall -Wextra -Wshadow)
if(VANTOREL_WERROR)
  target_compile_options(vantorel_warnings INTERFACE -Werror)
endif()

# Sanitizer builds: -DVANTOREL_SANITIZE=thread (or address,undefined).
set(VANTOREL_SANITIZE "" CACHE STRING "Sanitizers to build with (thread, address, undefined)")
if(VANTOREL_SANITIZE)
  add_compile_options(-fsanitize=${VANTOREL_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${VANTOREL_SANITIZE})
  # GCC's flow analysis misfires on AddressSanitizer's instrumentation
  # (maybe-uninitialized on values that are always set); the plain build
  # keeps the warning.
  if(VANTOREL_SANITIZE MATCHES "address" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(vantorel_warnings INTERFACE -Wno-maybe-uninitialized)
  endif()
endif()
