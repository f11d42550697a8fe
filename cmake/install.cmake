# Installation: the referee, its player host and the tools, with Tossel
# beside them under both binding names, the interface and rules headers, a
# CMake package and a pkg-config file for player builds, the example
# players, the Python player shim and package, and the manual pages.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS pitsow RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS pitsow-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Tossel LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
install(CODE "
  foreach(name PsPlayer1.so PsPlayer2.so)
    execute_process(COMMAND \${CMAKE_COMMAND} -E create_symlink Tossel.so
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${name}\")
  endforeach()")
install(FILES interface/PsComm.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES interface/pitsow/rules.h interface/pitsow/endgame.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pitsow)
install(TARGETS Minimax MinimaxTables LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS pitsow-perft pitsow-solve RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS pitsow-check pitsow-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES examples/starter/starter.c players/minimax/minimax.c
  DESTINATION ${CMAKE_INSTALL_DATADIR}/pitsow/examples)
# Python: the player shim beside pitsow-host, the pitsow package where
# Debian's python3 looks (a prefix of one's own needs PYTHONPATH), the
# Python examples.
install(TARGETS pitsow-python LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS pitsow_rules LIBRARY DESTINATION ${PITSOW_PYTHON_DIR}/pitsow)
install(FILES python/pitsow/__init__.py python/pitsow/env.py python/pitsow/spaces.py
  python/pitsow/players.py python/pitsow/agents.py DESTINATION ${PITSOW_PYTHON_DIR}/pitsow)
install(FILES examples/python/random_player.py examples/python/greedy.py
  examples/python/alphabeta.py examples/python/mcts.py examples/python/mcts_vs_minimax.py
  DESTINATION ${CMAKE_INSTALL_DATADIR}/pitsow/examples/python)
install(FILES doc/pitsow.1 doc/pitsow-arena.1 doc/pitsow-check.1 doc/pitsow-perft.1
  doc/pitsow-report.1 doc/pitsow-solve.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

add_library(Pitsow::interface ALIAS pitsow_interface)
set_target_properties(pitsow_interface PROPERTIES EXPORT_NAME interface)
install(TARGETS pitsow_interface EXPORT PitsowTargets)
install(EXPORT PitsowTargets NAMESPACE Pitsow::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Pitsow)
configure_package_config_file(cmake/PitsowConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PitsowConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Pitsow)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PitsowConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PitsowConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/PitsowConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Pitsow)

# The .pc file finds the prefix from its own place, so the install prefix
# can be chosen at install time.
file(RELATIVE_PATH PC_PREFIX_FROM_PCFILEDIR "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCFILEDIR "${PC_PREFIX_FROM_PCFILEDIR}")
configure_file(cmake/pitsow.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pitsow.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pitsow.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
