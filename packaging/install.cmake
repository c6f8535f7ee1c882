# What `cmake --install` puts where (GNU installation folders), and the Debian package
# CPack builds from it (`cpack -G DEB` in the build folder).
include(GNUInstallDirs)

# An installed crv recognises its tree by the marker below: the path from the program's
# folder to it is fixed here, so the tree can move (--prefix) without losing it.
file(RELATIVE_PATH PLINTHAR_INSTALLED_MARKER ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_DATADIR}/plinthar/per-project-data)
set_source_files_properties(src/plinthar/query/data/data_directory.cpp PROPERTIES
  COMPILE_DEFINITIONS "PLINTHAR_INSTALLED_MARKER=\"${PLINTHAR_INSTALLED_MARKER}\"")

install(TARGETS crv mapforge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/per-project-data DESTINATION ${CMAKE_INSTALL_DATADIR}/plinthar)
install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/hooks DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plinthar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "project context for AI coding assistants: graph scanner (mapforge) and ranker (crv)")
set(CPACK_PACKAGE_CONTACT "plinthar maintainers <maintainers@plinthar.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The shared libraries the programs still load (the C and C++ runtimes, simdjson; PCRE2,
# ICU and libcrypto are linked statically when their archives exist) become the
# package's dependencies, read from the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
