# The Windows release's tree, as `cmake --install` lays it out under a staging root that stands
# for the drive C: (scripts/windows/build.sh zips it and makes the installer of
# packaging/windows/TolvanLink.nsi from it):
#
#   <R>/Orsolite/Tolvan Link/          TolvanLink.exe, tolvan-flash.exe, tolvan-catalogue.exe, the
#                                      DLLs they and the plugins import, platforms/qwindows.dll,
#                                      styles/qwindowsvistastyle.dll, Captions.txt, Mensagens.txt,
#                                      LICENSE.txt, Licences/ (the others' notices)
#   <R>/Orsolite/Tolvan Link/manual/   the operator's manual, Vessaro.chm and its HTML page
#   <R>/Orsolite/Tolvan Link/bin/      image files (empty: the systems' installer fills it)
#   <R>/Orsolite/Tolvan Link/Tabelas/  TolvanLink.db, an empty catalogue
#   <R>/Orsolite/Comuns/               empty: the program writes the port file Comm.txt there
#
# The texts and the empty catalogue are made at build time by the cross-built programs under
# Wine, in a prefix of the build folder's own. JPEG pictures are read with libjpeg, not through
# Qt, so no image format plugin is shipped.
set(TOLVAN_RELEASE_PROGRAMS TolvanLink tolvan-flash tolvan-catalogue
    CACHE INTERNAL "The programs a Windows release must hold")
set(program_dir "Orsolite/Tolvan Link")
find_program(TOLVAN_WINE wine REQUIRED)

# The MinGW runtime DLLs lie beside the compiler's libraries, Qt's in its bin folder.
set(runtime_dirs "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    get_filename_component(found "${found}" DIRECTORY)
    list(APPEND runtime_dirs "${found}")
endforeach()
get_target_property(qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_bin "${qt_core}" DIRECTORY)
list(APPEND runtime_dirs "${qt_bin}")
list(REMOVE_DUPLICATES runtime_dirs)

# Wine finds the DLLs through WINEPATH; the programs are given paths relative to their working
# folder, which Wine maps as it is.
set(wine_path "")
foreach(dir ${runtime_dirs})
    string(REPLACE "/" "\\" dir "Z:${dir}")
    string(APPEND wine_path "${dir}$<SEMICOLON>")
endforeach()
set(wine_run ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-build WINEARCH=win64
             WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= WINEPATH=${wine_path} ${TOLVAN_WINE})
set(release_dir ${CMAKE_BINARY_DIR}/release-files)

add_executable(tolvan_write_texts packaging/WriteTexts.cpp)
target_link_libraries(tolvan_write_texts PRIVATE tolvan_core tolvan_warnings)
add_custom_command(
    OUTPUT ${release_dir}/Captions.txt ${release_dir}/Mensagens.txt
    COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir}
    COMMAND ${wine_run} $<TARGET_FILE:tolvan_write_texts> .
    WORKING_DIRECTORY ${release_dir}
    DEPENDS tolvan_write_texts
    COMMENT "Writing Captions.txt and Mensagens.txt (under Wine)"
    VERBATIM)
set(release_files ${release_dir}/Captions.txt ${release_dir}/Mensagens.txt)
if(TARGET tolvan-catalogue)
    # After the texts: the two would otherwise both make the new Wine prefix at once.
    add_custom_command(
        OUTPUT ${release_dir}/TolvanLink.db
        COMMAND ${CMAKE_COMMAND} -E rm -f TolvanLink.db
        COMMAND ${wine_run} $<TARGET_FILE:tolvan-catalogue> create TolvanLink.db
        WORKING_DIRECTORY ${release_dir}
        DEPENDS tolvan-catalogue ${release_dir}/Captions.txt
        COMMENT "Making the empty catalogue (under Wine)"
        VERBATIM)
    list(APPEND release_files ${release_dir}/TolvanLink.db)
    install(FILES ${release_dir}/TolvanLink.db DESTINATION "${program_dir}/Tabelas")
endif()

# The programs that are built so far; scripts/windows/build.sh refuses a release without all.
set(programs "")
foreach(program ${TOLVAN_RELEASE_PROGRAMS})
    if(TARGET ${program})
        list(APPEND programs ${program})
    endif()
endforeach()
install(TARGETS ${programs} RUNTIME DESTINATION ${program_dir})
install(FILES ${release_dir}/Captions.txt ${release_dir}/Mensagens.txt
        DESTINATION ${program_dir})
install(FILES LICENSE DESTINATION ${program_dir} RENAME LICENSE.txt)
# What the release holds from others (Qt, the MinGW runtime, and SQLite, libjpeg-turbo and
# libcsv linked in), each with its notice as Debian's source gives it.
set(notices Qt6=/usr/share/doc/qt6-base-dev-tools/copyright
            MinGW-runtime=/usr/share/doc/gcc-mingw-w64-base/copyright
            winpthreads=/usr/share/doc/mingw-w64-x86-64-dev/copyright)
foreach(library sqlite3 libjpeg-turbo libcsv)
    file(GLOB found ${TOLVAN_THIRD_PARTY_PREFIX}/../src/${library}-*/debian/copyright)
    list(APPEND notices ${library}=${found})
endforeach()
foreach(notice ${notices})
    string(REPLACE "=" ";" notice "${notice}")
    list(GET notice 0 name)
    list(GET notice 1 file)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "no licence notice for ${name} at ${file}")
    endif()
    install(FILES ${file} DESTINATION "${program_dir}/Licences" RENAME ${name}.txt)
endforeach()
# F1 opens manual\Vessaro.chm through HTML Help: the HTML manual compiled by chmcmd (fp-utils);
# the page itself beside it for a browser.
find_program(TOLVAN_CHMCMD chmcmd REQUIRED)
add_custom_command(
    OUTPUT ${release_dir}/manual/Vessaro.chm
    COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir}/manual
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/manual/Index.html
            ${PROJECT_SOURCE_DIR}/packaging/manual/Vessaro.hhp ${release_dir}/manual
    COMMAND ${TOLVAN_CHMCMD} --no-html-scan --verbosity 0 Vessaro.hhp
    WORKING_DIRECTORY ${release_dir}/manual
    DEPENDS packaging/manual/Index.html packaging/manual/Vessaro.hhp
    COMMENT "Compiling the manual"
    VERBATIM)
list(APPEND release_files ${release_dir}/manual/Vessaro.chm)
install(FILES packaging/manual/Index.html ${release_dir}/manual/Vessaro.chm
        DESTINATION "${program_dir}/manual")
add_custom_target(tolvan_release_files ALL DEPENDS ${release_files})
install(DIRECTORY DESTINATION "${program_dir}/bin")
install(DIRECTORY DESTINATION "${program_dir}/Tabelas")
install(DIRECTORY DESTINATION Orsolite/Comuns)

# Qt's plugins: the Windows platform and the native style, each in the folder Qt looks in
# beside the program.
set(plugins "")
foreach(plugin Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin)
    get_target_property(file ${plugin} IMPORTED_LOCATION_RELEASE)
    get_target_property(type ${plugin} QT_PLUGIN_TYPE)
    install(FILES ${file} DESTINATION "${program_dir}/${type}")
    list(APPEND plugins ${file})
endforeach()

# The DLLs that the programs and the plugins import (packaging/windows/RuntimeDlls.cmake).
set(binaries ${plugins})
foreach(program ${programs})
    list(APPEND binaries "$<TARGET_FILE:${program}>")
endforeach()
install(CODE "
    set(TOLVAN_DLL_BINARIES \"${binaries}\")
    set(TOLVAN_DLL_DIRS \"${runtime_dirs}\")
    set(TOLVAN_DLL_DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${program_dir}\")
    set(TOLVAN_OBJDUMP \"${CMAKE_OBJDUMP}\")
    set(TOLVAN_STRIP \"${CMAKE_STRIP}\")")
install(SCRIPT packaging/windows/RuntimeDlls.cmake)
