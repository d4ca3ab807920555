# One warning set for every target of the project.
add_library(kmx_warnings INTERFACE)
target_compile_options(kmx_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wimplicit-fallthrough -Wformat=2)
if(KMX_WERROR)
  target_compile_options(kmx_warnings INTERFACE -Werror)
endif()
