# Building message modules, for the trees that need them: the cross trees ship and test
# them, the native tree runs kestrel-explain over them. KESTREL_MESSAGE_COMPILER names the
# message compiler (a path, or the kestrel-mc target in the native tree).
set(KESTREL_MODULE_RC i686-w64-mingw32-windres)
set(KESTREL_MODULE_LINKER i686-w64-mingw32-gcc)
# kestrel_message_module(<name> <prefix> <work folder> <output dll> <sources...>): compiles
# the sources into a message table and links it into a resource-only module.
function(kestrel_message_module name prefix work output)
    file(MAKE_DIRECTORY ${work})
    file(WRITE ${work}/${name}.rc "1 11 \"${name}.bin\"\n")
    add_custom_command(OUTPUT ${work}/${name}.bin
        COMMAND ${KESTREL_MESSAGE_COMPILER} --prefix ${prefix} -o ${work}/${name}.bin ${ARGN}
        DEPENDS ${ARGN} ${KESTREL_MESSAGE_COMPILER} VERBATIM)
    add_custom_command(OUTPUT ${work}/${name}.res.o
        COMMAND ${KESTREL_MODULE_RC} -i ${name}.rc -o ${name}.res.o
        WORKING_DIRECTORY ${work}
        DEPENDS ${work}/${name}.bin VERBATIM)
    add_custom_command(OUTPUT ${output}
        COMMAND ${KESTREL_MODULE_LINKER} -shared -nostdlib -s -Wl,-e,0 -o ${output} ${work}/${name}.res.o
        DEPENDS ${work}/${name}.res.o VERBATIM)
endfunction()

# The modules, as <folder>:<prefix>, in the order of messages/counts.tsv: its rows are the
# one list of them, which the scripts and the tests read too and the unit tests hold against
# the tool table compiled into the add-in.
set(KESTREL_MODULE_LIST ${CMAKE_SOURCE_DIR}/messages/counts.tsv)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KESTREL_MODULE_LIST})
file(STRINGS ${KESTREL_MODULE_LIST} rows)
list(POP_FRONT rows) # the header
set(KESTREL_MODULES)
foreach(row ${rows})
    if(NOT row MATCHES "^([A-Za-z0-9]+)\t([A-Z]+)\t[0-9]+$")
        message(FATAL_ERROR "messages/counts.tsv: not a row of folder, prefix and entries: '${row}'")
    endif()
    list(APPEND KESTREL_MODULES ${CMAKE_MATCH_1}:${CMAKE_MATCH_2})
endforeach()

# kestrel_message_modules(<target> <work folder> <output folder> <files variable>): every
# module from messages/, built into the output folder by the target <target>; their
# paths go into the variable named.
function(kestrel_message_modules target work output files_variable)
    file(MAKE_DIRECTORY ${output})
    set(files)
    foreach(module ${KESTREL_MODULES})
        string(REPLACE ":" ";" parts ${module})
        list(GET parts 0 name)
        list(GET parts 1 prefix)
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/messages/${name}/*.msg)
        kestrel_message_module(${name} ${prefix} ${work} ${output}/${name}.dll ${sources})
        list(APPEND files ${output}/${name}.dll)
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${files})
    set(${files_variable} ${files} PARENT_SCOPE)
endfunction()
