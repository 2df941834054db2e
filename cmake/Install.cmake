# What `cmake --install` puts under the prefix: the program, its desktop entry and icons, the man page
# and the shell completions. Everything but the program is a file under data/, made once and kept in
# the repository, so installing needs no tool beyond CMake.

include(GNUInstallDirs)

set(CORVANE_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

install(TARGETS corvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CORVANE_DATA_DIR}/corvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icons of scripts/make-icons: one SVG and the PNG sizes of the hicolor theme.
set(CORVANE_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CORVANE_DATA_DIR}/icons/corvane.svg DESTINATION ${CORVANE_ICON_DIR}/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CORVANE_DATA_DIR}/icons/corvane-${size}.png
          DESTINATION ${CORVANE_ICON_DIR}/${size}x${size}/apps RENAME corvane.png)
endforeach()

install(FILES ${CORVANE_DATA_DIR}/corvane.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CORVANE_DATA_DIR}/completions/corvane.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME corvane)
install(FILES ${CORVANE_DATA_DIR}/completions/_corvane DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
