# KestrelHost.exe, the stand-in for the IDE, and a folder laid out as the IDE's: the host
# with an AddIns folder beside it that holds the add-in and its eight message modules.
add_executable(KestrelHost WIN32
    tools/KestrelHost/Main.cpp
    tools/KestrelHost/AddIns.cpp
    tools/KestrelHost/OutputWindow.cpp
    tools/KestrelHost/ScriptedWindows.cpp
    tools/KestrelHost/StdcallCheck.cpp
    tools/KestrelHost/WordAtCaret.cpp
)
target_include_directories(KestrelHost PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(KestrelHost PRIVATE user32 gdi32 kernel32)
target_link_options(KestrelHost PRIVATE -static)
set_target_properties(KestrelHost PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

set(KESTREL_HOST_DIR ${CMAKE_BINARY_DIR}/host)
add_custom_target(host_folder ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTREL_HOST_DIR}/AddIns
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:KestrelHost> ${KESTREL_HOST_DIR}/
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Kestrel> ${KESTREL_MODULE_FILES}
            ${KESTREL_HOST_DIR}/AddIns/
    COMMENT "Laying out ${KESTREL_HOST_DIR}"
    VERBATIM)
add_dependencies(host_folder KestrelHost Kestrel message_modules)
