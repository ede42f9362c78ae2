# Wine tests: GoogleTest programs cross-built for Windows and run by ctest through the
# emulator. kestrel_wine_tests links the add-in's procedures and resources directly;
# the end-to-end programs load the built Kestrel.dll the way a host does.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

add_library(wine_harness STATIC tests/wine/Harness.cpp tools/KestrelHost/StdcallCheck.cpp)
target_include_directories(wine_harness PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(wine_harness PUBLIC gtest comctl32 shell32 ole32 gdi32 user32 advapi32 psapi kernel32)
# The harness lays out add-in folders with the modules of messages/counts.tsv, the ones this
# tree builds or copies: their file names as the C strings of an initializer, and their count.
set(module_files)
foreach(module ${KESTREL_MODULES})
    string(REGEX REPLACE ":.*" "" name ${module})
    list(APPEND module_files "\"${name}.dll\"")
endforeach()
list(LENGTH module_files module_count)
list(JOIN module_files "," module_files)
target_compile_definitions(wine_harness PRIVATE
    KESTREL_MODULE_COUNT=${module_count}
    "KESTREL_MODULE_FILES=${module_files}")

# Each file of tests/wine/ is its own program: Windows tests share process-wide state
# (the add-in's globals, COM, windows), so a fresh process per file keeps them apart.
file(GLOB KESTREL_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*Test.cpp)
foreach(source ${KESTREL_WINE_TESTS})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} $<TARGET_OBJECTS:kestrel_resources>)
    target_link_libraries(${name} PRIVATE wine_harness kestrel_win gtest_main)
    target_link_options(${name} PRIVATE -static)
    add_dependencies(${name} Kestrel message_modules)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 120 LABELS wine)
endforeach()

# The resource checks also read the 32-bit product module and use the version API.
if(TARGET ResourcesTest)
    target_compile_definitions(ResourcesTest PRIVATE KESTREL_PRODUCT_DIR="${KESTREL_PRODUCT_DIR}")
    target_link_libraries(ResourcesTest PRIVATE version)
endif()

# The catalogue checks read the sources at test time (Wine maps drive Z: to the root) and
# parse them with the message compiler's own reader, built here for Windows.
if(TARGET CatalogueContentTest)
    if(NOT TARGET message_compiler_lib)
        add_library(message_compiler_lib STATIC
            tools/MessageCompiler/MessageSource.cpp
            tools/MessageCompiler/MessageTableWriter.cpp
            tools/MessageCompiler/Cp1252.cpp)
        target_include_directories(message_compiler_lib PUBLIC ${CMAKE_SOURCE_DIR})
    endif()
    target_link_libraries(CatalogueContentTest PRIVATE message_compiler_lib)
    target_compile_definitions(CatalogueContentTest PRIVATE KESTREL_SOURCE_DIR="Z:${CMAKE_SOURCE_DIR}")
endif()

# No address sanitizer in this MinGW tree: overruns of the add-in's stack buffers are caught
# by the stack protector instead, in the 64-bit test build only (the product stays as built).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_compile_options(kestrel_win PRIVATE -fstack-protector-strong -D_FORTIFY_SOURCE=2)
    target_link_options(kestrel_win INTERFACE -fstack-protector-strong)
endif()

# The shipped 32-bit files checked as files (exports, imports, format), without Wine.
if(KESTREL_PRODUCT_DIR)
    add_test(NAME product.CheckDll COMMAND bash ${CMAKE_SOURCE_DIR}/tests/product/check-dll.sh ${KESTREL_PRODUCT_DIR})
endif()
