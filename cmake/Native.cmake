# Native tree: the Windows-free core, its unit tests, the message compiler and, when the
# compiler is clang, the fuzz targets.
add_compile_options(-Wall -Wextra)

add_library(kestrel_core STATIC ${KESTREL_CORE_SOURCES})
target_include_directories(kestrel_core PUBLIC ${CMAKE_SOURCE_DIR})

add_library(message_compiler_lib STATIC
    tools/MessageCompiler/MessageSource.cpp
    tools/MessageCompiler/MessageTableWriter.cpp
    tools/MessageCompiler/Cp1252.cpp
)
target_include_directories(message_compiler_lib PUBLIC ${CMAKE_SOURCE_DIR})
add_executable(kestrel-mc tools/MessageCompiler/Main.cpp)
target_link_libraries(kestrel-mc PRIVATE message_compiler_lib)

find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB KESTREL_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(kestrel_unit_tests ${KESTREL_UNIT_TESTS})
target_link_libraries(kestrel_unit_tests PRIVATE kestrel_core message_compiler_lib GTest::gtest_main)
target_compile_definitions(kestrel_unit_tests PRIVATE
    KESTREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KESTREL_MESSAGE_COMPILER="$<TARGET_FILE:kestrel-mc>")
add_dependencies(kestrel_unit_tests kestrel-mc)
gtest_discover_tests(kestrel_unit_tests DISCOVERY_MODE PRE_TEST)

# No description shares a run of eight words with the Microsoft texts it was written from
# (skipped where those texts are not beside the clone, ../shared/catalogue-sources).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME catalogue.NoCopiedRuns COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/copied-runs)
set_tests_properties(catalogue.NoCopiedRuns PROPERTIES SKIP_RETURN_CODE 2)

# libFuzzer targets, run briefly by the test command and at length by scripts/fuzz.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(KESTREL_FUZZ_FLAGS -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
    add_library(kestrel_core_fuzz STATIC ${KESTREL_CORE_SOURCES})
    target_include_directories(kestrel_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
    target_compile_options(kestrel_core_fuzz PRIVATE -g -O1 -fsanitize=fuzzer-no-link,address,undefined)
    file(GLOB KESTREL_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
    foreach(source ${KESTREL_FUZZ_TARGETS})
        get_filename_component(name ${source} NAME_WE)
        add_executable(${name} ${source})
        target_compile_options(${name} PRIVATE ${KESTREL_FUZZ_FLAGS})
        target_link_options(${name} PRIVATE ${KESTREL_FUZZ_FLAGS})
        target_link_libraries(${name} PRIVATE kestrel_core_fuzz)
        # New inputs go to the build folder; the committed seeds are only read.
        set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
        file(MAKE_DIRECTORY ${work})
        add_test(NAME fuzz.${name}
                 COMMAND ${name} -max_total_time=3 ${work} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
        set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
    endforeach()
endif()
