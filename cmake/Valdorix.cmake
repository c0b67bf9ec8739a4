# Shared build helpers: warnings, sanitizers, and one function each for tests, benchmarks and fuzzers.

set(VALDORIX_WARNINGS -Wall -Wextra -Wpedantic)
if(VALDORIX_WERROR)
    list(APPEND VALDORIX_WARNINGS -Werror)
endif()

if(VALDORIX_SANITIZE)
    add_compile_options(-fsanitize=${VALDORIX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${VALDORIX_SANITIZE})
endif()
if(VALDORIX_FUZZ)
    # Libraries get coverage instrumentation; only the fuzz executables link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Warnings and include root for one of our own targets.
function(valdorix_target_defaults target)
    target_compile_options(${target} PRIVATE ${VALDORIX_WARNINGS})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# valdorix_add_test(<name> SOURCES ... LIBS ... [LABELS ...] [QT])
# One GoogleTest executable registered with ctest. QT tests run on the offscreen platform.
function(valdorix_add_test name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    valdorix_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set(env "VALDORIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "VALDORIX_BINARY_DIR=${PROJECT_BINARY_DIR}")
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE valdorix_ui Qt6::Test)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" LABELS "${ARG_LABELS}" TIMEOUT 600)
    if("threads" IN_LIST ARG_LABELS)
        add_dependencies(valdorix_thread_tests ${name})
    endif()
endfunction()

# valdorix_add_bench(<name> SOURCES ... LIBS ...): built by `make bench` only, not by the tests.
function(valdorix_add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    valdorix_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
    add_dependencies(bench ${name})
endfunction()

# valdorix_add_fuzzer(<name> SOURCES ... LIBS ...): a libFuzzer executable; its seed corpus is
# fuzz/corpus/<name>/.
function(valdorix_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    valdorix_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY VALDORIX_FUZZERS ${name})
endfunction()

# valdorix_add_qt_library(<name> <sources...>): a static library of Qt widgets, with moc and the
# strict string conversions every Qt layer uses.
function(valdorix_add_qt_library name)
    add_library(${name} STATIC ${ARGN})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    valdorix_target_defaults(${name})
    target_link_libraries(${name} PUBLIC Qt6::Widgets)
    target_compile_definitions(${name} PUBLIC QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                              QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
endfunction()
