# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, by the GNU directory conventions; DESTDIR is honoured.
set(KESTAVO_APP_ID "org.kestavo.Kestavo" CACHE STRING "Reverse-DNS identifier of the desktop program")
if(TARGET kestavo)
  target_compile_definitions(kestavo PRIVATE KESTAVO_APP_ID="${KESTAVO_APP_ID}")
endif()
set(KESTAVO_HOMEPAGE "https://kestavo.org/" CACHE STRING "The program's home page")
set(KESTAVO_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/kestavo)

install(TARGETS kestavo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages are shipped compressed, as Debian expects them.
find_program(KESTAVO_GZIP gzip REQUIRED)
function(kestavo_man_page name)
  set(source ${PROJECT_BINARY_DIR}/man/${name}.1)
  set(packed ${PROJECT_BINARY_DIR}/man/${name}.1.gz)
  configure_file(${PROJECT_SOURCE_DIR}/res/man/${name}.1.in ${source} @ONLY)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${KESTAVO_GZIP} -9nkf ${source}
    DEPENDS ${source} VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

kestavo_man_page(kestavo-cli)
install(FILES res/completion/kestavo-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kestavo-cli)

if(KESTAVO_GUI)
  install(TARGETS kestavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  kestavo_man_page(kestavo)
  install(FILES res/Help/Kestavo_help.htm DESTINATION ${KESTAVO_DATA_INSTALL_DIR}/Help)

  configure_file(res/desktop/kestavo.desktop.in ${PROJECT_BINARY_DIR}/desktop/${KESTAVO_APP_ID}.desktop @ONLY)
  configure_file(res/desktop/kestavo.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/desktop/${KESTAVO_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/desktop/${KESTAVO_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_BINARY_DIR}/desktop/${KESTAVO_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The catalogs' file type, so that file managers open .kvx files with the program.
  install(FILES res/desktop/kestavo-catalog.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME kestavo.xml)

  # The application icon at every size it is drawn at (res/images/kestavo_SIZE.png).
  file(GLOB KESTAVO_ICONS RELATIVE ${PROJECT_SOURCE_DIR}/res/images ${PROJECT_SOURCE_DIR}/res/images/kestavo_*.png)
  foreach(icon ${KESTAVO_ICONS})
    string(REGEX REPLACE "^kestavo_([0-9]+)\\.png$" "\\1" size ${icon})
    install(FILES res/images/${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestavo.png)
  endforeach()
endif()
