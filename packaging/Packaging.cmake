# Installing Clipweaver like a desktop program: both programs, their
# pictures and silence, the launcher that starts them in the user's working
# folder, desktop entries and the icon; and a Debian package made by CPack.
include(GNUInstallDirs)

set(CW_PROGRAMS_DIR ${CMAKE_INSTALL_LIBEXECDIR}/clipweaver)
set(CW_PICTURES_DIR ${CMAKE_INSTALL_DATADIR}/clipweaver)

install(TARGETS Clipweaver ClipweaverBasic RUNTIME DESTINATION ${CW_PROGRAMS_DIR})
file(GLOB CW_INSTALLED_PICTURES ${PROJECT_SOURCE_DIR}/data/*.png)
install(FILES ${CW_INSTALLED_PICTURES} ${PROJECT_SOURCE_DIR}/data/silence.mp3 DESTINATION ${CW_PICTURES_DIR})

# The launcher finds the programs and pictures relative to itself, so the
# prefix can be chosen at install time.
file(RELATIVE_PATH CW_BIN_TO_PROGRAMS ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CW_PROGRAMS_DIR})
file(RELATIVE_PATH CW_BIN_TO_PICTURES ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CW_PICTURES_DIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/clipweaver.sh.in ${CMAKE_BINARY_DIR}/packaging/clipweaver @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/clipweaver DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop entries name the launcher by its full path, known only when
# installing (the prefix may be chosen then), so that the menu finds it
# whether or not its folder is on the PATH.
foreach(entry clipweaver clipweaver-basic)
    install(CODE "
        set(CW_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/clipweaver\")
        configure_file(\"${CMAKE_CURRENT_LIST_DIR}/${entry}.desktop.in\"
                       \"${CMAKE_BINARY_DIR}/packaging/${entry}.desktop\" @ONLY)")
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${entry}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/clipweaver.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clipweaver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Clipweaver")
set(CPACK_PACKAGE_CONTACT "Clipweaver developers <clipweaver@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Windowed video-assembly tool for clips and picture sequences")
set(CPACK_PACKAGE_DESCRIPTION
    "Clipweaver puts trimmed video clips and numbered picture sequences together into one video, "
    "driving MPlayer and mencoder.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "mplayer, mencoder, ffmpeg, qt6-qpa-plugins")
find_program(CW_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(CW_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6widgets6, libqt6gui6, libqt6core6")
endif()
include(CPack)
