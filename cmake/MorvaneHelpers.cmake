# Warnings are set per target so that third-party code found through
# find_package keeps its own flags.
function(morvane_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(MORVANE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII
                                                 QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
endfunction()

function(morvane_add_library name type)
    add_library(${name} ${type} ${ARGN})
    morvane_target_defaults(${name})
endfunction()

# One test executable per library and one CTest entry per executable: the
# executables that start Qt or a web engine pay that once, and GoogleTest
# prints each failure with its context.
function(morvane_add_test_executable name)
    add_executable(${name} ${ARGN})
    morvane_target_defaults(${name})
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endfunction()

# The sanitizer builds instrument every target of the project, the tests'
# included, since a report needs both sides of a call built the same way.
if(MORVANE_SANITIZE)
    # GCC leaves float-to-integer overflow out of "undefined"; hostile PDFs
    # put coordinates at infinity, so it is asked for by name.
    add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined,float-cast-overflow)
    add_link_options(-fsanitize=address,undefined,float-cast-overflow)
endif()
if(MORVANE_SANITIZE_THREAD)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# The fuzzers see coverage only in code built with it: in a fuzz build every
# library is instrumented and sanitized, and undefined behaviour aborts so that
# libFuzzer keeps the input. The fuzzer runtime is linked into the targets only.
# clang 14 cannot emit the function-type check beside coverage in coroutines.
if(MORVANE_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=function
                        -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
