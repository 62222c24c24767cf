# Installs, beside the programs, the DLLs that the programs and Qt's plugins import, and those
# that these import in turn, found in the runtime folders by objdump. What is not there
# (KERNEL32.dll, USER32.dll and the rest) is Windows' own. CMake's own search lower-cases the
# names, which a Linux file system does not forgive (Qt6Core.dll), hence this one.
# MinGW's libstdc++-6.dll carries its debugging sections (23 MB of 27): `cmake --install --strip`
# strips the copies.
# In: TOLVAN_DLL_BINARIES, TOLVAN_DLL_DIRS, TOLVAN_DLL_DESTINATION, TOLVAN_OBJDUMP, TOLVAN_STRIP.
cmake_policy(VERSION 3.25)
set(available "")
foreach(dir ${TOLVAN_DLL_DIRS})
    file(GLOB dlls LIST_DIRECTORIES false "${dir}/*.dll")
    list(APPEND available ${dlls})
endforeach()

set(pending ${TOLVAN_DLL_BINARIES})
set(found "")
while(pending)
    list(POP_FRONT pending binary)
    execute_process(COMMAND ${TOLVAN_OBJDUMP} -p ${binary} OUTPUT_VARIABLE headers
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${TOLVAN_OBJDUMP} cannot read ${binary}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
    foreach(import ${imports})
        string(REPLACE "DLL Name: " "" name "${import}")
        string(TOLOWER "${name}" name)
        foreach(dll ${available})
            get_filename_component(file_name "${dll}" NAME)
            string(TOLOWER "${file_name}" file_name)
            if(file_name STREQUAL name AND NOT dll IN_LIST found)
                list(APPEND found ${dll})
                list(APPEND pending ${dll})
                break()
            endif()
        endforeach()
    endforeach()
endwhile()
file(INSTALL ${found} DESTINATION "${TOLVAN_DLL_DESTINATION}")
if(CMAKE_INSTALL_DO_STRIP)
    foreach(dll ${found})
        get_filename_component(name "${dll}" NAME)
        execute_process(COMMAND ${TOLVAN_STRIP} --strip-debug "${TOLVAN_DLL_DESTINATION}/${name}"
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()
