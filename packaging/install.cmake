# Where an install puts each part. With self-update, a relocatable Morvane.app
# folder: the executables beside their resource bundle, plus the desktop entry
# and icon that point into it. Without, a package's layout under the prefix:
# executables in bin, their private libraries in lib/<multiarch>/morvane
# (outside the linker's search path), the bundle in share/morvane.
if(MORVANE_SELF_UPDATE)
    set(MORVANE_APP_DIR "Morvane.app")
    set(library_dir ${MORVANE_APP_DIR})
    set(bundle_dir ${MORVANE_APP_DIR})
    set(rpath "$ORIGIN")
else()
    set(MORVANE_APP_DIR "bin")
    set(library_dir "lib/morvane")
    if(CMAKE_LIBRARY_ARCHITECTURE)
        set(library_dir "lib/${CMAKE_LIBRARY_ARCHITECTURE}/morvane")
    endif()
    set(bundle_dir "share/morvane")
    set(rpath "$ORIGIN/../${library_dir}")
endif()

# The executables find the PDF library, and beside it the recogniser module
# and the graphical module.
set_target_properties(morvane morvane-convert PROPERTIES INSTALL_RPATH "${rpath}")
install(TARGETS morvane morvane-convert RUNTIME DESTINATION ${MORVANE_APP_DIR})
install(TARGETS MorvanePdf MorvanePdfOcr MorvaneGraphical LIBRARY DESTINATION ${library_dir})
install(DIRECTORY ${MORVANE_BUNDLE_DIR} DESTINATION ${bundle_dir})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/morvane.svg DESTINATION share/icons/hicolor/scalable/apps)

if(MORVANE_SELF_UPDATE)
    # The version the folder was built as: releases are signed for it.
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packaging/VERSION CONTENT "${PROJECT_VERSION}")
    install(FILES ${CMAKE_BINARY_DIR}/packaging/VERSION DESTINATION ${MORVANE_APP_DIR})
    # The entry names the installed executable, worked out at install time so
    # that --prefix and DESTDIR are the install's own.
    install(CODE "set(MORVANE_DESKTOP_SOURCE \"${PROJECT_SOURCE_DIR}/packaging/morvane.desktop\")
                  set(MORVANE_APP_DIR \"${MORVANE_APP_DIR}\")")
    install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install_desktop_entry.cmake)
endif()
