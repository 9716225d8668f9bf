# Installation: the two programs; the application's data folder share/tivane (its default
# programs, the examples and the help pages); the desktop entry, the icons and the MIME type
# of documents; the manual pages. And the Debian package made of all of it (scripts/package.sh).
include(GNUInstallDirs)

set(TIVANE_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/tivane)
set(TIVANE_DEFAULT_PROGRAMS resources/programs/default.prg resources/programs/defaultt.prg
  resources/programs/defaultg.prg)

# The version that --version prints.
configure_file(cmake/version.h.in ${PROJECT_BINARY_DIR}/generated/version.h @ONLY)
target_include_directories(tivane PRIVATE ${PROJECT_BINARY_DIR}/generated)
target_include_directories(tivane_runner PRIVATE ${PROJECT_BINARY_DIR}/generated)

# A build tree keeps a share/tivane of links to the sources beside its programs, where they
# look for their data folder when they have no installed one in ../share/tivane.
set(TIVANE_BUILD_DATA ${PROJECT_BINARY_DIR}/share/tivane)
file(MAKE_DIRECTORY ${TIVANE_BUILD_DATA})
foreach(pair IN ITEMS examples:examples resources/help:help resources/programs/default.prg:default.prg
    resources/programs/defaultt.prg:defaultt.prg resources/programs/defaultg.prg:defaultg.prg)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  # Made anew at every configure, so a link never points into a tree that moved.
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${from} ${TIVANE_BUILD_DATA}/${to} SYMBOLIC)
endforeach()

# The icons at the usual sizes and as SVG, drawn by the application's own icon code.
set(TIVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
add_executable(tivane_icons tools/writeicons.cpp)
target_link_libraries(tivane_icons PRIVATE tivane_app)
set(TIVANE_ICON_FILES ${PROJECT_BINARY_DIR}/icons/hicolor/scalable/apps/tivane.svg)
foreach(size IN LISTS TIVANE_ICON_SIZES)
  list(APPEND TIVANE_ICON_FILES ${PROJECT_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/tivane.png)
endforeach()
# In a sanitizer build a leak of Qt's at the tool's exit must not stop the build.
add_custom_command(OUTPUT ${TIVANE_ICON_FILES}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:tivane_icons>
    ${PROJECT_BINARY_DIR}/icons/hicolor ${TIVANE_ICON_SIZES}
  DEPENDS tivane_icons VERBATIM)

# Manual pages, compressed as Debian installs them (-n: no time stamp in the archive).
set(TIVANE_MAN_FILES)
foreach(page IN ITEMS tivane tivane-run)
  set(gz ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/docs/man/${page}.1 > ${gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
  list(APPEND TIVANE_MAN_FILES ${gz})
endforeach()
add_custom_target(tivane_install_files ALL DEPENDS ${TIVANE_ICON_FILES} ${TIVANE_MAN_FILES})

install(TARGETS tivane tivane-run RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TIVANE_DEFAULT_PROGRAMS} DESTINATION ${TIVANE_DATA_DESTINATION})
install(DIRECTORY examples/ DESTINATION ${TIVANE_DATA_DESTINATION}/examples)
install(DIRECTORY resources/help/ DESTINATION ${TIVANE_DATA_DESTINATION}/help)
# The help index links the guide as a neighbour, as the built-in copy has it.
install(FILES docs/getting-started.md DESTINATION ${TIVANE_DATA_DESTINATION}/help)
install(FILES resources/desktop/tivane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/tivane.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${PROJECT_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
# Documents show the application's icon in file managers.
foreach(size IN LISTS TIVANE_ICON_SIZES)
  install(FILES ${PROJECT_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/tivane.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/mimetypes
    RENAME application-x-tivane-document.png)
endforeach()
install(FILES ${TIVANE_MAN_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: cpack -G DEB in the build tree (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tivane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tivane developers <tivane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "presents mathematical models as tables and moving drawings")
# The summary becomes the package's first description line; these lines follow it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tivane runs models written in its own small expression language step by
step and shows them in text and graphics windows that animate; pictures, printouts and
movies of the graphics windows can be saved. tivane-run runs documents and programs without
a display.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link come from dpkg-shlibdeps; what Qt opens at run time it cannot
# see: the platform plugins (the window system, and offscreen for tivane-run) and the fonts
# that pictures are drawn with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme, xdg-utils")
include(CPack)
