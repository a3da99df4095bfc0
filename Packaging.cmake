# Install layout and the Debian package. The runner goes to bin/ and its
# known defects to share/tiff-probes/ (runner/CMakeLists.txt), the probes to
# libexec/tiff-probes/, and one installed-tests file per probe to
# share/installed-tests/tiff-probes/.
install(TARGETS ${TIFF_PROBES_NAMES} tiff_version
        RUNTIME DESTINATION "${TIFF_PROBES_LIBEXEC_DIR}")

# Exec= needs the absolute path of the installed runner, which is known only
# at install time (cmake --install --prefix, CPack staging).
install(CODE "
  foreach(probe IN ITEMS ${TIFF_PROBES_NAME_LIST})
    set(test_file \"${CMAKE_BINARY_DIR}/installed-tests/\${probe}.test\")
    file(WRITE \"\${test_file}\" \"[Test]\\nType=session\\nExec=\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tiff-probes \${probe}\\n\")
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/installed-tests/tiff-probes\"
         TYPE FILE FILES \"\${test_file}\")
  endforeach()
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tiff-probes)
set(CPACK_PACKAGE_VENDOR "tiff-probes")
set(CPACK_PACKAGE_CONTACT "tiff-probes developers <tiff-probes@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "conformance probes for the TIFF library's directory interface")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# Dependencies come from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
