# Debian's hardening flags (dpkg-buildflags with hardening=+all: fortified functions, stack
# protector, read-only relocations, immediate binding) for every optimised build, so that the
# build the tests run is the build that is packaged. The build type keeps choosing -O and -g, and
# source paths stay absolute for the debugger. Sanitizer and fuzzing builds go without.
set(default_hardening OFF)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT TOLVAN_SANITIZE
   AND NOT TOLVAN_FUZZ AND NOT WIN32)
    set(default_hardening ON)
endif()
option(TOLVAN_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ${default_hardening})
if(NOT TOLVAN_HARDENING)
    return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
    message(WARNING "dpkg-buildflags not found: building without Debian's hardening flags")
    return()
endif()

function(tolvan_buildflags name out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${name}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^(-g|-O.*|-ffile-prefix-map=.*)$")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

tolvan_buildflags(CPPFLAGS cppflags)
tolvan_buildflags(CXXFLAGS cxxflags)
tolvan_buildflags(LDFLAGS ldflags)
add_compile_options(${cppflags} ${cxxflags})
add_link_options(${ldflags})
message(STATUS "Hardening flags: ${cppflags} ${cxxflags} ${ldflags}")
