# The speed and size benchmark (scripts/bench runs it; it prints figures and checks
# nothing), built with everything so that it keeps compiling, and the large made-up
# catalogue it opens besides the shipped one, built only for it: the eight modules again,
# each with KESTREL_BENCH_ENTRIES generated entries.
set(KESTREL_BENCH_ENTRIES 2500 CACHE STRING "Entries per module of the benchmark's generated catalogue")

if(KESTREL_BENCH_ON_REQUEST)
    set(KESTREL_BENCH_EXCLUDE EXCLUDE_FROM_ALL)
endif()
add_executable(KestrelBenchmark ${KESTREL_BENCH_EXCLUDE} bench/KestrelBenchmark.cpp $<TARGET_OBJECTS:kestrel_resources>)
target_link_libraries(KestrelBenchmark PRIVATE kestrel_win)
target_link_options(KestrelBenchmark PRIVATE -static)
add_dependencies(KestrelBenchmark Kestrel message_modules)

set(KESTREL_BENCH_DIR ${CMAKE_BINARY_DIR}/bench/catalogue-${KESTREL_BENCH_ENTRIES})
set(KESTREL_BENCH_MODULE_FILES)
foreach(module ${KESTREL_MODULES})
    string(REPLACE ":" ";" parts ${module})
    list(GET parts 0 name)
    list(GET parts 1 prefix)
    set(source ${KESTREL_BENCH_DIR}/sources/${name}.msg)
    add_custom_command(OUTPUT ${source}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTREL_BENCH_DIR}/sources
        COMMAND awk -v prefix=${prefix} -v count=${KESTREL_BENCH_ENTRIES}
                -f ${CMAKE_SOURCE_DIR}/bench/make-catalogue.awk > ${source}
        DEPENDS ${CMAKE_SOURCE_DIR}/bench/make-catalogue.awk VERBATIM)
    kestrel_message_module(${name} ${prefix} ${KESTREL_BENCH_DIR}/work ${KESTREL_BENCH_DIR}/${name}.dll ${source})
    list(APPEND KESTREL_BENCH_MODULE_FILES ${KESTREL_BENCH_DIR}/${name}.dll)
endforeach()
# The benchmark maps this copy of the add-in to make the folder its own.
add_custom_target(bench_catalogue
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Kestrel> ${KESTREL_BENCH_DIR}/
    DEPENDS ${KESTREL_BENCH_MODULE_FILES} VERBATIM)
add_dependencies(bench_catalogue Kestrel)
