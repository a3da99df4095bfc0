# Static checks and formatting over the project's own sources, run as tests.
find_program(CLANG_FORMAT clang-format REQUIRED)
find_program(CLANG_TIDY clang-tidy REQUIRED)
find_program(CPPCHECK cppcheck REQUIRED)

file(GLOB _lint_sources CONFIGURE_DEPENDS
     "${PROJECT_SOURCE_DIR}/expect/*.cpp" "${PROJECT_SOURCE_DIR}/expect/*.h"
     "${PROJECT_SOURCE_DIR}/ifd/*.cpp" "${PROJECT_SOURCE_DIR}/ifd/*.h"
     "${PROJECT_SOURCE_DIR}/probes/*.cpp" "${PROJECT_SOURCE_DIR}/probes/*.h"
     "${PROJECT_SOURCE_DIR}/tests/*.cpp" "${PROJECT_SOURCE_DIR}/tests/*.h"
     "${PROJECT_SOURCE_DIR}/runner/*.cpp" "${PROJECT_SOURCE_DIR}/runner/*.h" "${PROJECT_SOURCE_DIR}/bench/*.cpp")

add_test(NAME format COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${_lint_sources})

# One clang-tidy test per directory, so they can run side by side.
set(_tidy_dirs expect ifd probes runner tests)
if(TIFF_PROBES_BENCH AND TARGET directory_bench)
  list(APPEND _tidy_dirs bench)
endif()
foreach(dir IN ITEMS ${_tidy_dirs})
  file(GLOB _tidy_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${dir}/*.cpp")
  add_test(NAME clang_tidy.${dir}
           COMMAND "${CLANG_TIDY}" -p "${CMAKE_BINARY_DIR}" --quiet ${_tidy_sources})
endforeach()

# readdir_r is deprecated in glibc and the harness is single-threaded. The
# programs keep plain loops over their tables on purpose, so cppcheck's advice
# to turn them into algorithms does not apply.
add_test(NAME cppcheck
         COMMAND "${CPPCHECK}" --quiet --std=c++17 --language=c++ --library=googletest
                 --library=posix --enable=warning,style,performance,portability
                 --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem
                 --suppress=readdirCalled --suppress=useStlAlgorithm -I expect -I ifd -I probes -I runner -I tests expect ifd probes runner tests
         WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")

list(TRANSFORM _tidy_dirs PREPEND clang_tidy. OUTPUT_VARIABLE _tidy_tests)
set_tests_properties(format cppcheck ${_tidy_tests} PROPERTIES LABELS lint)
