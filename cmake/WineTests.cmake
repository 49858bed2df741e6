# Windows test programs run under wine, each once, in the build folder's own prefix.
# qorv_add_wine_gtest(NAME PROGRAM [TIMEOUT seconds]) adds a GoogleTest program that
# passes only when it exits with 0 after printing its summary (see gtest-complete.sh).
function(qorv_add_wine_gtest name program)
  cmake_parse_arguments(arg "" "TIMEOUT" "" ${ARGN})
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 900)
  endif()
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/gtest-complete.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
            $<TARGET_FILE:${program}> --gtest_color=no)
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS wine TIMEOUT ${arg_TIMEOUT})
endfunction()
