# Writes share/applications/morvane.desktop with Exec naming the installed
# executable. Run by cmake --install after MORVANE_DESKTOP_SOURCE and
# MORVANE_APP_DIR are set.
set(executable "${CMAKE_INSTALL_PREFIX}/${MORVANE_APP_DIR}/morvane")

# Inside a quoted Exec argument these need a backslash, and the backslash
# itself is escaped once more by the string rules of the format.
set(quoted "${executable}")
string(REPLACE "\\" "\\\\\\\\" quoted "${quoted}")
foreach(character "\"" "$" "`")
    string(REPLACE "${character}" "\\\\${character}" quoted "${quoted}")
endforeach()
string(REPLACE "%" "%%" quoted "${quoted}")

file(READ "${MORVANE_DESKTOP_SOURCE}" entry)
string(REPLACE "Exec=morvane " "Exec=\"${quoted}\" " entry "${entry}")
string(REPLACE "TryExec=morvane" "TryExec=${executable}" entry "${entry}")

set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/morvane.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
