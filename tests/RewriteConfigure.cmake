# Configures the project against a TIFF library whose shared object lacks
# _TIFFRewriteField: with a static archive that lacks it too, configuration
# must stop and name the symbol; with the real archive, strip_probe must be
# linked to that archive.
# Usage: cmake -DSOURCE_DIR=... -DWORK_DIR=... -DINCLUDE_DIR=... -DSTUB_SHARED=...
#              -DSTUB_ARCHIVE=... -DREAL_ARCHIVE=... -P RewriteConfigure.cmake
function(configure_with archive result_var output_var)
  file(REMOVE_RECURSE "${WORK_DIR}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}" -DBUILD_TESTING=OFF
            -DTIFF_PROBES_BENCH=OFF "-DTIFF_INCLUDE_DIR=${INCLUDE_DIR}"
            "-DTIFF_LIBRARY=${STUB_SHARED}" "-DTIFF_PROBES_TIFF_ARCHIVE=${archive}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result_var} "${result}" PARENT_SCOPE)
  set(${output_var} "${out}${err}" PARENT_SCOPE)
endfunction()

configure_with("${STUB_ARCHIVE}" result output)
if(result EQUAL 0 OR NOT output MATCHES "does not provide _TIFFRewriteField")
  message(FATAL_ERROR "expected a configure error naming _TIFFRewriteField, got ${result}:\n${output}")
endif()

configure_with("${REAL_ARCHIVE}" result output)
if(NOT result EQUAL 0 OR NOT output MATCHES "_TIFFRewriteField comes from the static TIFF library")
  message(FATAL_ERROR "expected the static archive to be used, got ${result}:\n${output}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "missing symbol: clear error; shared without it: static archive used")
