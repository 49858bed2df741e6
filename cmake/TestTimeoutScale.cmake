# Read by ctest before any test of the build is defined (TEST_INCLUDE_FILES of the top
# folder). With QORV_TEST_TIMEOUT_SCALE=N in the environment, every TIMEOUT a test sets
# is multiplied by N: an emulated machine (scripts/run-in-vm.sh) runs the same tests many
# times slower, and their limits must fit it without loosening them everywhere else.
if(NOT "$ENV{QORV_TEST_TIMEOUT_SCALE}" MATCHES "^[1-9][0-9]*$")
  return()
endif()

# Calls the built-in set_tests_properties with each argument as it came: a value may be
# a list (ENVIRONMENT "A=1;B=2"), which a plain ${ARGN} would split.
function(set_tests_properties)
  set(code "_set_tests_properties(")
  set(scale_next FALSE)
  math(EXPR last "${ARGC} - 1")
  foreach(i RANGE 0 ${last})
    set(value "${ARGV${i}}")
    if(scale_next AND value MATCHES "^[0-9]+$")
      math(EXPR value "${value} * $ENV{QORV_TEST_TIMEOUT_SCALE}")
    endif()
    string(COMPARE EQUAL "${value}" TIMEOUT scale_next)
    string(APPEND code " [==[${value}]==]")
  endforeach()
  cmake_language(EVAL CODE "${code})")
endfunction()
