# The Debian package: `make deb` (cpack -G DEB in the build folder) gives
# pitsow_VERSION_amd64.deb with everything cmake --install puts under /usr,
# the copyright file and the changelog; the manual pages and the changelog
# are compressed as Debian keeps them (cmake/debian/finish.cmake), and the
# byte-code caches Python leaves beside the package's modules go with it
# (cmake/debian/prerm).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pitsow)
set(CPACK_PACKAGE_VENDOR "The Pitsow project")
set(CPACK_PACKAGE_CONTACT "The Pitsow project <pitsow@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "referee for matches of the sowing game Pitsow")
set(CPACK_PACKAGE_DESCRIPTION "Pitsow referees matches of a two-player sowing game of the mancala family
between computer players: shared libraries with five C entry points, or
Python modules played through an embedded interpreter. The package holds
the referee, its isolated player host, a player checker, a tournament
runner, an HTML report, a move counter, two sample players, the player
headers with CMake and pkg-config files, the Python package pitsow with
the rules, and example players in C and Python.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.11), python3 (<< 3.12)")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/finish.cmake)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pitsow)
include(CPack)
