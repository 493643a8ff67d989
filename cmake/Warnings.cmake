# Warning flags for the project's own targets. Third-party headers come in
# through imported targets and so are treated as system headers.
option(TXISP_WERROR "Treat warnings in the project's own code as errors" OFF)
add_library(txisp_warnings INTERFACE)
target_compile_options(txisp_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${TXISP_WERROR}>:-Werror>
  # GCC 12 reports out-of-bounds accesses inside the standard library's
  # inlined vector code that cannot happen; they stay visible as warnings.
  $<$<AND:$<BOOL:${TXISP_WERROR}>,$<CXX_COMPILER_ID:GNU>>:-Wno-error=array-bounds -Wno-error=stringop-overflow -Wno-error=restrict>)
