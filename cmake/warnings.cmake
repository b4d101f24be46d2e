# The warnings the project's own C and C++ code is built with, on GCC, Clang and
# MinGW-w64; included after the third-party code (GoogleTest's sources), which
# keeps its own.
# scripts/test.sh turns them into errors, so that a new one fails CI; a user's
# plain build only shows them.
option(KRESOVAR_WERROR "Treat the compiler's warnings as errors" OFF)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra;-Wpedantic;-Wshadow;-Wconversion>"
                    "$<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<BOOL:${KRESOVAR_WERROR}>>:-Werror>")
