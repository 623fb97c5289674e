# Install rules: the programs, the desktop entry, icons, AppStream metadata, manual pages,
# bash completion and documentation, under the usual freedesktop/FHS folders of the prefix.
set(_desktop ${CMAKE_SOURCE_DIR}/resources/desktop)

install(TARGETS plover-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET plover)
  install(TARGETS plover RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_desktop}/org.plover.Plover.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_desktop}/org.plover.Plover.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(_size 16 24 32 48 64 128 256 512)
    install(FILES ${_desktop}/icons/png/plover-${_size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
            RENAME plover.png)
  endforeach()
  install(FILES ${_desktop}/icons/plover.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Manual pages and the change log are installed compressed, as Debian's policy asks.
set(_gzipped "")
function(plover_install_gzipped source destination name)
  set(_gz ${CMAKE_BINARY_DIR}/gzipped/${name}.gz)
  add_custom_command(OUTPUT ${_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_BINARY_DIR}/gzipped/${name}
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/gzipped/${name}
    DEPENDS ${source} VERBATIM)
  install(FILES ${_gz} DESTINATION ${destination})
  set(_gzipped ${_gzipped} ${_gz} PARENT_SCOPE)
endfunction()

plover_install_gzipped(${CMAKE_SOURCE_DIR}/cli/plover-cli.1 ${CMAKE_INSTALL_MANDIR}/man1 plover-cli.1)
if(TARGET plover)
  plover_install_gzipped(${CMAKE_SOURCE_DIR}/resources/man/plover.1 ${CMAKE_INSTALL_MANDIR}/man1 plover.1)
endif()
plover_install_gzipped(${CMAKE_SOURCE_DIR}/resources/debian/changelog ${CMAKE_INSTALL_DOCDIR} changelog)
add_custom_target(plover_gzipped_docs ALL DEPENDS ${_gzipped})

install(FILES ${CMAKE_SOURCE_DIR}/cli/plover-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME plover-cli)

install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/resources/sample.pdf
        ${CMAKE_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
