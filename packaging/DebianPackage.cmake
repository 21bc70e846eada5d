# The Debian package, build/vintrel_VERSION_amd64.deb (scripts/build.sh
# makes it with cpack): the program in /usr/lib/vintrel with all it finds
# beside itself (templates, the help pages, vrl.chm), the launcher
# /usr/bin/vintrel with the script that prepares the user's Wine prefix, a
# desktop entry and the frame's icon. The installed program cannot write
# beside itself, so it keeps settings.ini in the prefix's application-data
# folder (app/SettingsLocation.h).

# The frame's icon (icon 100, resources/frame.ico: a 32 x 32 and a 16 x 16
# image) as the PNG files desktops look for. No dates are written into
# them, so that a build makes the same files again.
find_program(VINTREL_CONVERT convert)
if(NOT VINTREL_CONVERT)
  message(FATAL_ERROR "ImageMagick's convert is needed for the Debian package's icon (scripts/setup.sh installs it)")
endif()
set(VINTREL_ICONS ${CMAKE_BINARY_DIR}/icons)
set(VINTREL_ICON_OPTIONS -strip -define png:exclude-chunks=date,time)
add_custom_command(OUTPUT ${VINTREL_ICONS}/32x32/vintrel.png ${VINTREL_ICONS}/16x16/vintrel.png
         ${VINTREL_ICONS}/48x48/vintrel.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VINTREL_ICONS}/32x32 ${VINTREL_ICONS}/16x16 ${VINTREL_ICONS}/48x48
  COMMAND ${VINTREL_CONVERT} "${CMAKE_SOURCE_DIR}/resources/frame.ico[0]" ${VINTREL_ICON_OPTIONS}
          png32:${VINTREL_ICONS}/32x32/vintrel.png
  COMMAND ${VINTREL_CONVERT} "${CMAKE_SOURCE_DIR}/resources/frame.ico[1]" ${VINTREL_ICON_OPTIONS}
          png32:${VINTREL_ICONS}/16x16/vintrel.png
  COMMAND ${VINTREL_CONVERT} "${CMAKE_SOURCE_DIR}/resources/frame.ico[3]" ${VINTREL_ICON_OPTIONS}
          png32:${VINTREL_ICONS}/48x48/vintrel.png
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/frame.ico
  COMMENT "Making the desktop icons from the frame's icon")
add_custom_target(vintrel_icons ALL DEPENDS ${VINTREL_ICONS}/32x32/vintrel.png ${VINTREL_ICONS}/16x16/vintrel.png
  ${VINTREL_ICONS}/48x48/vintrel.png)

# Everything under /usr, as Debian's packages are.
set(VINTREL_PACKAGE_LIB lib/vintrel)
install(PROGRAMS ${CMAKE_BINARY_DIR}/vintrel.exe.so packaging/vintrel-prefix.sh DESTINATION ${VINTREL_PACKAGE_LIB})
install(FILES ${CMAKE_BINARY_DIR}/vrl.chm DESTINATION ${VINTREL_PACKAGE_LIB})
install(DIRECTORY resources/templates/ DESTINATION ${VINTREL_PACKAGE_LIB}/templates FILES_MATCHING PATTERN "*.sql")
# The pages themselves: Help > Contents opens help/index.html in the browser.
install(DIRECTORY resources/help/ DESTINATION ${VINTREL_PACKAGE_LIB}/help FILES_MATCHING PATTERN "*.html")
install(PROGRAMS packaging/vintrel.sh DESTINATION bin RENAME vintrel)
install(FILES packaging/vintrel.desktop DESTINATION share/applications)
foreach(size 48x48 32x32 16x16)
  install(FILES ${VINTREL_ICONS}/${size}/vintrel.png DESTINATION share/icons/hicolor/${size}/apps)
endforeach()
# Where desktops without the hicolor theme look.
install(FILES ${VINTREL_ICONS}/32x32/vintrel.png DESTINATION share/pixmaps)

# The Winelib program needs at least the Wine it was built with.
set(VINTREL_WINE_DEPENDENCY wine64)
execute_process(COMMAND wine --version OUTPUT_VARIABLE VINTREL_WINE_VERSION ERROR_QUIET)
if(VINTREL_WINE_VERSION MATCHES "^wine-([0-9]+\\.[0-9]+)")
  # "~": Debian's own versions of it ("8.0~repack-4") sort below 8.0.
  set(VINTREL_WINE_DEPENDENCY "wine64 (>= ${CMAKE_MATCH_1}~)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Vintrel developers <vintrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "query tool for MySQL and MariaDB servers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vintrel is a desktop query tool in the classic Windows style, run under
Wine: query windows, each with its own server connection, an SQL editor
with syntax colouring, a result grid and a message pane.

The command vintrel runs it in a Wine prefix of the user's own, made on
the first start. It starts no database server: it connects to the servers
the user names.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "${VINTREL_WINE_DEPENDENCY}, libmariadb3, fonts-liberation, fonts-wine, fonts-wqy-microhei, fonts-symbola, xdg-utils")
# Not needed to run: ssh for connections through an SSH tunnel, xrdb for the
# first start to take the desktop's display scale.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "openssh-client, x11-xserver-utils")
# Directories as Debian's are, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# cpack takes the files as the build left them: scripts/build.sh builds
# first, and a check of every target again would double the package's time.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
include(CPack)
