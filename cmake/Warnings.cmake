# Warnings every target of ours compiles with; the test build turns them into errors.
add_library(tw_warnings INTERFACE)
target_compile_options(tw_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-qual -Wformat=2
  -Wimplicit-fallthrough -Wmissing-declarations)
if(TW_WERROR)
  target_compile_options(tw_warnings INTERFACE -Werror)
endif()
