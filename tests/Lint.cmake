# Static checks and formatting over the project's own sources, run as tests
# (label lint, ci preset): clang-format --dry-run --Werror against
# .clang-format, clang-tidy with .clang-tidy (one test per source file, e.g.
# `ctest -R clang_tidy.tests/probe_run.cpp`, so the test step's jobs share it
# out) and cppcheck, over ifd/, probes/ (every probe's folder), runner/ and
# tests/; the C programs of defects/ get clang-format and cppcheck as C.
find_program(CLANG_FORMAT clang-format REQUIRED)
find_program(CLANG_TIDY clang-tidy REQUIRED)
find_program(CPPCHECK cppcheck REQUIRED)

# Subdirectories (each probe's folder) included.
set(_lint_sources)
foreach(dir IN ITEMS ifd probes runner tests bench)
  file(GLOB_RECURSE _dir_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${dir}/*.cpp"
       "${PROJECT_SOURCE_DIR}/${dir}/*.h")
  list(APPEND _lint_sources ${_dir_sources})
endforeach()

# The known defects' reproductions are C: formatted alike and checked by
# cppcheck as C below; not by clang-tidy, whose C analyzer under this
# configuration rejects every memcpy and memset.
file(GLOB _defect_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/defects/*.c")
list(APPEND _lint_sources ${_defect_sources})

add_test(NAME format COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${_lint_sources})

# One clang-tidy test per source file, so that CTest spreads them over its
# jobs: a single test over tests/ alone took 150 s on two cores. Each file is
# checked with the same configuration, headers included, as before. COST puts
# them ahead of the short tests on a first run, before CTest has timings.
set(_tidy_dirs ifd probes runner tests)
if(TIFF_PROBES_BENCH AND TARGET directory_bench)
  list(APPEND _tidy_dirs bench)
endif()
set(_tidy_tests)
foreach(dir IN ITEMS ${_tidy_dirs})
  file(GLOB_RECURSE _tidy_sources CONFIGURE_DEPENDS RELATIVE "${PROJECT_SOURCE_DIR}"
       "${PROJECT_SOURCE_DIR}/${dir}/*.cpp")
  foreach(source IN LISTS _tidy_sources)
    add_test(NAME clang_tidy.${source}
             COMMAND "${CLANG_TIDY}" -p "${CMAKE_BINARY_DIR}" --quiet "${PROJECT_SOURCE_DIR}/${source}")
    list(APPEND _tidy_tests clang_tidy.${source})
  endforeach()
endforeach()
set_tests_properties(${_tidy_tests} PROPERTIES COST 10)

# Every probe's folder holds headers of its own.
file(GLOB _probe_dirs LIST_DIRECTORIES true RELATIVE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/probes/*")
set(_cppcheck_includes)
foreach(dir IN LISTS _probe_dirs)
  if(IS_DIRECTORY "${PROJECT_SOURCE_DIR}/${dir}")
    list(APPEND _cppcheck_includes -I ${dir})
  endif()
endforeach()

# readdir_r is deprecated in glibc and the harness is single-threaded. The
# programs keep plain loops over their tables on purpose, so cppcheck's advice
# to turn them into algorithms does not apply.
add_test(NAME cppcheck
         COMMAND "${CPPCHECK}" --quiet --std=c++17 --language=c++ --library=googletest
                 --library=posix --enable=warning,style,performance,portability
                 --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem
                 --suppress=readdirCalled --suppress=useStlAlgorithm -I ifd ${_cppcheck_includes} -I runner -I tests ifd probes runner tests
         WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")

add_test(NAME cppcheck_defects
         COMMAND "${CPPCHECK}" --quiet --std=c99 --language=c --library=posix
                 --enable=warning,style,performance,portability --error-exitcode=1
                 --inline-suppr --suppress=missingIncludeSystem defects
         WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")

set_tests_properties(format cppcheck cppcheck_defects ${_tidy_tests} PROPERTIES LABELS lint)
