# Warnings for the project's own targets. They are errors only with TARVIK_WERROR
# (on in the presets CI builds), so a packager's plain build with a newer
# compiler never fails on a new warning.
function(tarvik_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # In a unity build each file is included by the generated one, so GCC takes a
  # type of a file's anonymous namespace used in a lambda or a test class for
  # one of a header, and warns that it gives the enclosing type internal linkage.
  if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
  if(TARVIK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
    # GCC 12's -Wrestrict misfires inside libstdc++'s basic_string at -O2 and above
    # (GCC bug 105329, fixed in 13). Known places are written around; a new one stays
    # a warning instead of breaking the optimised build.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-error=restrict)
    endif()
  endif()
endfunction()

# tarvik_library(NAME SOURCES ... DEPS ...): a static library of plain C++ whose
# headers are included as "subsystem/Header.h" from src/.
function(tarvik_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  # Plain C++: nothing for moc to find.
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
                                            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/tarvik>)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  tarvik_warnings(${name})
endfunction()

# tarvik_gtest(NAME SOURCES ... DEPS ... [PROPERTIES ...]): one GoogleTest executable registered
# with CTest; PROPERTIES are further test properties of every case.
# Test data folders are found through TARVIK_TEST_DATA (tests/) and TARVIK_SOURCE_DIR.
function(tarvik_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    TARVIK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests"
    TARVIK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TARVIK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  tarvik_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()

# tarvik_fuzzer(NAME SOURCES ... DEPS ...): a libFuzzer target.
function(tarvik_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz) # FuzzCheck.h
  tarvik_warnings(${name})
  set_property(GLOBAL APPEND PROPERTY TARVIK_FUZZERS ${name})
endfunction()

# tarvik_bench(NAME SOURCES ... DEPS ...): a Google Benchmark executable (not a test).
function(tarvik_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  tarvik_warnings(${name})
endfunction()
