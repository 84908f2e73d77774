# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, and the Debian package CPack makes from the same rules.
include(GNUInstallDirs)

# Directories as a package wants them (0755), whatever the user's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The version the programs print, so the package cannot disagree with --version.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/shell/CommandLine.h cgv_version_line REGEX "ProgramVersion = \"")
string(REGEX REPLACE ".*ProgramVersion = \"([^\"]+)\".*" "\\1" CGV_PROGRAM_VERSION "${cgv_version_line}")

install(TARGETS corvanegv corvanegv-query RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program looks for its sound in ../share/corvanegv from its own folder (SoundSearchDirs).
install(FILES ${PROJECT_SOURCE_DIR}/data/new_msg.wav DESTINATION ${CMAKE_INSTALL_DATADIR}/corvanegv)

# The menu entry and the AppStream file carry the publisher's id, homepage and bug address.
configure_file(${PROJECT_SOURCE_DIR}/data/corvanegv.desktop.in ${PROJECT_BINARY_DIR}/data/${CGV_APP_ID}.desktop @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/corvanegv.metainfo.xml.in ${PROJECT_BINARY_DIR}/data/${CGV_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/${CGV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/data/${CGV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size ${CGV_ICON_SIZES})
  install(FILES ${CGV_ICON_DIR}/${size}x${size}/apps/${CGV_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages and the changelog go in compressed, as Debian wants them (-n: no time stamp).
find_program(CGV_GZIP gzip REQUIRED)
set(cgv_gz)
foreach(src man/corvanegv.1 man/corvanegv-query.1 changelog)
  get_filename_component(name ${src} NAME)
  set(out ${PROJECT_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/compressed
                     COMMAND ${CGV_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/data/${src} > ${out}
                     DEPENDS ${PROJECT_SOURCE_DIR}/data/${src})
  list(APPEND cgv_gz ${out})
endforeach()
add_custom_target(corvanegv-compressed-docs ALL DEPENDS ${cgv_gz})
install(FILES ${PROJECT_BINARY_DIR}/compressed/corvanegv.1.gz ${PROJECT_BINARY_DIR}/compressed/corvanegv-query.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# With a Debian revision the package is not native: its changelog is changelog.Debian.
install(FILES ${PROJECT_BINARY_DIR}/compressed/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvanegv
        RENAME changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvanegv)
# The first upload has no ITP bug to close; lintian is told why it may not see one.
install(FILES ${PROJECT_SOURCE_DIR}/data/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME corvanegv)

# cpack -G DEB (scripts/package): /usr prefix, dependencies read from the binaries.
set(CPACK_PACKAGE_NAME corvanegv)
set(CPACK_PACKAGE_VERSION ${CGV_PROGRAM_VERSION})
# The Debian revision of this upstream version (data/changelog's first entry carries the same).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_VENDOR "Corvane GV team")
set(CPACK_PACKAGE_CONTACT "Corvane GV team <corvanegv@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "game server browser and lobby chat for FreeSpace 2 players")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvane Games Viewer lists the multiplayer servers of FreeSpace 2, Beyond\n\
the Red Line Demo, Wing Commander Saga and Starfox that the game tracker\n\
announces, with each server's live status, starts a game with a double-click\n\
and keeps the player in the lobby chat. corvanegv-query asks game servers\n\
for their status from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Not stripped at install: CPack takes the symbols out into corvanegv-dbgsym (found by build
# id) and strips the programs itself.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": it starts games but is none (lintian: package-section-games-but-contains-no-game).
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CGV_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt loads its platform plugins at run time, which shlibdeps cannot see (the audio ones come
# with libqt6multimedia6, which it does see).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
