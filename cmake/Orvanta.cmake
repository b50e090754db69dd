# Shared build helpers for the Orvanta targets.

# Warnings on every target of ours; third-party code is not built here.
function(orvanta_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# A static library of one subsystem: orvanta_library(NAME SOURCES ... [PUBLIC_LIBS ...])
function(orvanta_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    orvanta_warnings(${name})
endfunction()

# An executable that ships in dist/bin.
function(orvanta_dist_executable name)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORVANTA_DIST_DIR}/bin)
    orvanta_warnings(${name})
endfunction()

# A GoogleTest executable whose cases ctest lists one by one (no display needed).
function(orvanta_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    orvanta_warnings(${name})
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES LABELS "nodisplay")
endfunction()

# A test that needs an X display: it runs under tests/with-display.sh, which
# starts Xvfb when it can and reports a skip (exit 77) when no display exists.
function(orvanta_gui_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    orvanta_warnings(${name})
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/tests/with-display.sh $<TARGET_FILE:${name}>)
    # One window test at a time: two software-rendered windows starting together on a
    # small machine miss their time limits.
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS "display"
                         RESOURCE_LOCK display
                         ENVIRONMENT "ORVANTA_ARTIFACTS=${CMAKE_BINARY_DIR}/artifacts")
endfunction()

# Runs a test executable once more under a decimal-comma locale (tests/with-locale.sh makes
# de_DE.UTF-8 with localedef where the system lacks it): orvanta_comma_locale_test(TARGET
# [DISPLAY] [ARGS ...]). DISPLAY: it needs an X display, as orvanta_gui_test's do.
function(orvanta_comma_locale_test target)
    cmake_parse_arguments(ARG "DISPLAY" "" "ARGS" ${ARGN})
    set(command ${PROJECT_SOURCE_DIR}/tests/with-locale.sh de_DE.UTF-8)
    set(label nodisplay)
    if(ARG_DISPLAY)
        list(APPEND command ${PROJECT_SOURCE_DIR}/tests/with-display.sh)
        set(label display)
    endif()
    add_test(NAME ${target}_comma_locale COMMAND ${command} $<TARGET_FILE:${target}> ${ARG_ARGS})
    if(ARG_DISPLAY)
        set_tests_properties(${target}_comma_locale PROPERTIES RESOURCE_LOCK display)
    endif()
    set_tests_properties(${target}_comma_locale PROPERTIES SKIP_RETURN_CODE 77 LABELS ${label}
        ENVIRONMENT "ORVANTA_LOCALE_DIR=${CMAKE_BINARY_DIR}/locales;ORVANTA_ARTIFACTS=${CMAKE_BINARY_DIR}/artifacts/comma-locale")
endfunction()
