# Runs cmake/MorvaneUpdateSettings.cmake over a table of settings: good ones
# configure, bad ones stop the configure with a message naming the setting,
# and an empty key only warns. Run with cmake -DSOURCE_DIR=… -P.
cmake_policy(SET CMP0007 NEW)
set(key RWQf6LRCGA9i53mlYecO4IzT51TGPpvWucNSCh1CBM0QTaLn73Y7GFO3)
set(rows
    "updates.example.com|OMBRIXTEAM|${key}|ok"
    "127.0.0.1:8443|OMBRIXTEAM|${key}|ok"
    "[::1]:8443|OMBRIXTEAM|${key}|ok"
    "updates.example.com|OMBRIXTEAM||warns"
    "https://updates.example.com|OMBRIXTEAM|${key}|MORVANE_UPDATE_HOST"
    "updates.example.com/morvane|OMBRIXTEAM|${key}|MORVANE_UPDATE_HOST"
    "host:99999|OMBRIXTEAM|${key}|MORVANE_UPDATE_HOST"
    "host:|OMBRIXTEAM|${key}|MORVANE_UPDATE_HOST"
    "updates.example.com|two words|${key}|MORVANE_UPDATE_TEAM_ID"
    "updates.example.com|OMBRIXTEAM|RWQf6LRCGA9i53ml|MORVANE_UPDATE_PUBLIC_KEY")
foreach(row IN LISTS rows)
    string(REPLACE "|" ";" fields "${row}")
    list(GET fields 0 host)
    list(GET fields 1 team)
    list(GET fields 2 public_key)
    list(GET fields 3 expected)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -DMORVANE_SELF_UPDATE=ON "-DMORVANE_UPDATE_HOST=${host}"
                "-DMORVANE_UPDATE_TEAM_ID=${team}" "-DMORVANE_UPDATE_PUBLIC_KEY=${public_key}"
                -P ${SOURCE_DIR}/cmake/MorvaneUpdateSettings.cmake
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(expected STREQUAL "ok" AND (NOT status EQUAL 0 OR output MATCHES "Warning"))
        message(SEND_ERROR "${row}: refused\n${output}")
    elseif(expected STREQUAL "warns" AND (NOT status EQUAL 0 OR NOT output MATCHES "MORVANE_UPDATE_PUBLIC_KEY is empty"))
        message(SEND_ERROR "${row}: no warning\n${output}")
    elseif(NOT expected MATCHES "^(ok|warns)$" AND (status EQUAL 0 OR NOT output MATCHES "${expected}"))
        message(SEND_ERROR "${row}: not refused for ${expected}\n${output}")
    endif()
endforeach()
