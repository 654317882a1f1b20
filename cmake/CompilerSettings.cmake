# The language and code-generation settings every Quenlix build shares: the product, the test and
# benchmark builds and the fuzzers.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

option(QUENLIX_WERROR "Treat warnings as errors" OFF)

# The measurements must follow the formulas' written order: no fused multiply-add contraction and no
# value-changing floating-point optimisation anywhere.
add_compile_options(-ffp-contract=off -fno-fast-math)

include(${CMAKE_CURRENT_LIST_DIR}/Warnings.cmake)
