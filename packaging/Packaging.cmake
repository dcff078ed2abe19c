# Installing Clipweaver like a desktop program: both programs, their
# pictures and silence, the launcher that starts them in the user's working
# folder, desktop entries, the icon, the file types of projects and croutons,
# the manual (HTML and man page); and a Debian package made by CPack.
include(GNUInstallDirs)

set(CW_PROGRAMS_DIR ${CMAKE_INSTALL_LIBEXECDIR}/clipweaver)
set(CW_PICTURES_DIR ${CMAKE_INSTALL_DATADIR}/clipweaver)

# The title program lies beside the programs, where they look for it.
install(TARGETS Clipweaver ClipweaverBasic clipweaver-title RUNTIME DESTINATION ${CW_PROGRAMS_DIR})
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
# Qt reads the PNG without its SVG plugin: the programs' windows carry it.
set(CW_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/clipweaver.png DESTINATION ${CW_ICON_DIR})
file(RELATIVE_PATH CW_PROGRAMS_TO_ICON ${CMAKE_INSTALL_PREFIX}/${CW_PROGRAMS_DIR}
     ${CMAKE_INSTALL_PREFIX}/${CW_ICON_DIR}/clipweaver.png)
# The programs look for the icon where it is installed, relative to
# themselves, and beside themselves in the build tree.
configure_file(${CMAKE_CURRENT_LIST_DIR}/clipweaver.png ${CMAKE_BINARY_DIR}/src/qtview/clipweaver.png COPYONLY)
foreach(program Clipweaver ClipweaverBasic)
    target_compile_definitions(${program} PRIVATE CW_PROGRAMS_TO_ICON="${CW_PROGRAMS_TO_ICON}")
endforeach()

# Projects and croutons are file types of their own, so that a file manager
# opens a project with Clipweaver.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/clipweaver-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME clipweaver.xml)
# Installed by hand the desktop's databases are brought up to date here; a
# package leaves that to the packaging system's triggers.
install(CODE "
    if(NOT DEFINED ENV{DESTDIR} AND NOT CMAKE_INSTALL_PREFIX MATCHES \"_CPack_Packages\")
        find_program(CW_UPDATE_MIME update-mime-database)
        find_program(CW_UPDATE_DESKTOP update-desktop-database)
        if(CW_UPDATE_MIME)
            execute_process(COMMAND \${CW_UPDATE_MIME} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\")
        endif()
        if(CW_UPDATE_DESKTOP)
            execute_process(COMMAND \${CW_UPDATE_DESKTOP} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
        endif()
    endif()")

# The manual: HTML for Help, clipweaver(1) for the terminal; the package's
# copyright and changelog lie beside the HTML. The compressed files are made
# reproducibly (no name or time stamp in them).
set(CW_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/clipweaver)
find_program(CW_GZIP gzip REQUIRED)
set(CW_COMPRESSED)
foreach(pair "docs/clipweaver.1:clipweaver.1.gz" "packaging/changelog:changelog.gz")
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 target)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${target}
                       COMMAND ${CW_GZIP} -9nc ${PROJECT_SOURCE_DIR}/${source} > ${CMAKE_BINARY_DIR}/packaging/${target}
                       DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
    list(APPEND CW_COMPRESSED ${CMAKE_BINARY_DIR}/packaging/${target})
endforeach()
add_custom_target(cw_compressed_docs ALL DEPENDS ${CW_COMPRESSED})
install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.html ${CMAKE_CURRENT_LIST_DIR}/copyright
              ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CW_DOC_DIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/clipweaver.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Help finds the manual relative to the program.
file(RELATIVE_PATH CW_PROGRAMS_TO_MANUAL ${CMAKE_INSTALL_PREFIX}/${CW_PROGRAMS_DIR}
     ${CMAKE_INSTALL_PREFIX}/${CW_DOC_DIR}/manual.html)
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/gui/help.cpp TARGET_DIRECTORY cw_core cw_core_basic
                            PROPERTIES COMPILE_DEFINITIONS CW_PROGRAMS_TO_MANUAL="${CW_PROGRAMS_TO_MANUAL}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clipweaver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Clipweaver")
set(CPACK_PACKAGE_CONTACT "Clipweaver developers <clipweaver@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Windowed video-assembly tool for clips and picture sequences")
# One text (a CMake list would be joined with ";"), in lines that fit the
# package tools' 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Clipweaver puts trimmed video clips and numbered picture sequences\n"
    "together into one video. Each piece is cut to a start and an end and can\n"
    "have a soundtrack of its own. The project chooses the frame format, bit\n"
    "rate and frame rate, and a soundtrack under the whole. Clipweaver drives\n"
    "MPlayer and mencoder to do the work.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The programs go into the package stripped: their debug symbols are left out.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "mplayer, mencoder, ffmpeg, qt6-qpa-plugins")
find_program(CW_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(CW_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6widgets6, libqt6gui6, libqt6core6, libmpv2, libavformat59, libavcodec59, libavutil57")
endif()
include(CPack)
