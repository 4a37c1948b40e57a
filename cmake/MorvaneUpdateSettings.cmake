# Checks the update settings at configure time: a mistake in them would
# otherwise show only as an app that never finds, or never installs, an update.
if(NOT MORVANE_SELF_UPDATE)
    message(STATUS "Self-update: off (updates come from the package manager)")
    return()
endif()

set(label "[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?")
if(NOT MORVANE_UPDATE_HOST MATCHES "^(${label}(\\.${label})*|\\[[0-9A-Fa-f:.]+\\])(:[0-9]+)?$")
    message(FATAL_ERROR "MORVANE_UPDATE_HOST must be a host name or address with an optional "
                        ":port (updates.example.com, 127.0.0.1:8443), not \"${MORVANE_UPDATE_HOST}\"")
endif()
if(MORVANE_UPDATE_HOST MATCHES ":([0-9]+)$")
    if(CMAKE_MATCH_1 LESS 1 OR CMAKE_MATCH_1 GREATER 65535)
        message(FATAL_ERROR "MORVANE_UPDATE_HOST: port ${CMAKE_MATCH_1} is out of range")
    endif()
endif()

if(NOT MORVANE_UPDATE_TEAM_ID MATCHES "^[A-Za-z0-9._-]+$")
    message(FATAL_ERROR "MORVANE_UPDATE_TEAM_ID must be one word of letters, digits, '.', '_' or "
                        "'-', not \"${MORVANE_UPDATE_TEAM_ID}\"")
endif()

# The key may be given as its base64 line or as the minisign .pub file.
set(key "${MORVANE_UPDATE_PUBLIC_KEY}")
if(key AND EXISTS "${key}" AND NOT IS_DIRECTORY "${key}")
    file(STRINGS "${key}" lines REGEX "^RW")
    list(GET lines -1 key)
endif()
string(STRIP "${key}" key)
string(LENGTH "${key}" length)
if(key STREQUAL "")
    message(WARNING "MORVANE_UPDATE_PUBLIC_KEY is empty: this build checks for updates but can "
                    "never install one, since no release verifies. Set it to the minisign public "
                    "key of the releases, or turn MORVANE_SELF_UPDATE off.")
    set(key_state "no release key: updates can never be installed")
elseif(NOT key MATCHES "^RW[A-Za-z0-9+/]+$" OR NOT length EQUAL 56)
    message(FATAL_ERROR "MORVANE_UPDATE_PUBLIC_KEY is not a minisign public key (the 56-character "
                        "line starting \"RW\" of a .pub file, or that file's path)")
else()
    set(key_state "release key ${key}")
endif()
# What the build compiles in.
set(MORVANE_UPDATE_PUBLIC_KEY "${key}")
message(STATUS "Self-update: https://${MORVANE_UPDATE_HOST}/morvane/latest.json, team "
               "${MORVANE_UPDATE_TEAM_ID}, ${key_state}")
