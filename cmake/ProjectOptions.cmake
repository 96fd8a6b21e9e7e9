# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra)

if(SORVANE_SANITIZE)
    string(REPLACE ";" "," _san "${SORVANE_SANITIZE}")
    add_compile_options(-fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_san})
endif()

# Fuzzing builds instrument every library for coverage, not only the targets.
if(SORVANE_BUILD_FUZZERS)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds a GoogleTest executable and registers its cases with CTest.
# sorvane_add_test(NAME name SOURCES ... LIBS ... [LABELS label])
# One label per target: unit (the default), pty (a receiver simulator on a
# pseudo-terminal, so threads), threads (other threaded tests), slow.
include(GoogleTest)
function(sorvane_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    gtest_discover_tests(${T_NAME}
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
