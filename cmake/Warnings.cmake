# Every target of ours builds warning-free with these.
add_compile_options(-Wall -Wextra)

# GCC 12 reports overlaps and out-of-bounds copies inside libstdc++'s own string
# concatenation and vector insertion once they are inlined at -O2 and above (GCC
# bugs 105329 and 107852); the code it points at is the standard library's, not
# ours. Those two warnings are left to other compilers and versions.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options(-Wno-restrict -Wno-array-bounds)
endif()
