# Install-time part of the Windows package: copies in the DLLs that the
# installed programs and plugins need from Qt and MinGW's runtime, under
# their own names. OSC_DLL_LINKS is the folder of lowercase links to them.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB programs "${root}/*.exe")
file(GLOB plugins "${root}/*/*.dll")
file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES ${programs}
    LIBRARIES ${plugins}
    RESOLVED_DEPENDENCIES_VAR found
    UNRESOLVED_DEPENDENCIES_VAR missing
    PRE_INCLUDE_REGEXES "^qt6[a-z]*\\.dll$" "^lib[a-z_+0-9-]*\\.dll$"
    PRE_EXCLUDE_REGEXES ".*"
    DIRECTORIES "${OSC_DLL_LINKS}")
if(missing)
    message(FATAL_ERROR "DLLs not found for the package: ${missing}")
endif()
foreach(link ${found})
    file(REAL_PATH "${link}" dll)
    file(INSTALL "${dll}" DESTINATION "${root}")
endforeach()
