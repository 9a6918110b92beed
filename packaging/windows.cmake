# The Windows package, made by cpack in the cross build's tree: the two
# programs with the DLLs and plugins they load, the pages, Qt's Chinese
# translation and every licence notice, as a zip and as an NSIS installer.
# scripts/windows.sh configures this build and runs cpack.

set(OSC_QT_SOURCE_DIR "" CACHE PATH
    "The unpacked Debian qt6-base source the Qt DLLs were built from (licence texts, version)")
if(NOT EXISTS "${OSC_QT_SOURCE_DIR}/LICENSES/LGPL-3.0-only.txt")
    message(FATAL_ERROR "OSC_QT_SOURCE_DIR must name the qt6-base source (scripts/windows.sh sets it)")
endif()
# The simulation runs in osc-spice.exe, which loads libngspice-0.dll; both
# built by scripts/windows.sh, which also names the source.
if(NOT TARGET osc-spice)
    message(FATAL_ERROR "The Windows package needs libngspice for Windows in ${OSC_NGSPICE_PREFIX} "
                        "(scripts/windows.sh builds it)")
endif()
set(OSC_NGSPICE_SOURCE_DIR "" CACHE PATH
    "The unpacked Debian ngspice source libngspice-0.dll was built from (licences, version)")
if(NOT EXISTS "${OSC_NGSPICE_SOURCE_DIR}/debian/copyright")
    message(FATAL_ERROR "OSC_NGSPICE_SOURCE_DIR must name the ngspice source (scripts/windows.sh sets it)")
endif()
set(text_dir ${CMAKE_CURRENT_BINARY_DIR}/windows-text)

# Windows' editors want CRLF line ends; a byte-order mark makes Notepad read
# the Chinese as UTF-8 on every version.
function(osc_windows_text out content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    if(content MATCHES "[^\t\r\n -~]")
        string(ASCII 239 187 191 bom)
        string(PREPEND content "${bom}")
    endif()
    file(WRITE ${out} "${content}")
endfunction()

# Plugins: the platform, the native style and GIF for the banner (PNG is
# built into Qt Gui).
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsIntegrationPlugin LIBRARY DESTINATION platforms)
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsVistaStylePlugin LIBRARY DESTINATION styles)
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QGifPlugin LIBRARY DESTINATION imageformats)

# The DLLs the programs and plugins import from Qt and MinGW's runtime
# (libstdc++, libgcc, winpthreads), and theirs in turn, found by CMake from
# the installed files; Windows' own DLLs are not looked for. CMake looks a
# PE import up by its lowercase name, and this file system minds case, so
# it looks in a folder of lowercase links to the DLLs.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_runtime_dir ${libgcc} DIRECTORY)
set(mingw_runtime_dir /usr/x86_64-w64-mingw32/lib)
set(dll_links ${CMAKE_CURRENT_BINARY_DIR}/dll-links)
file(REMOVE_RECURSE ${dll_links})
file(MAKE_DIRECTORY ${dll_links})
foreach(dir ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} ${OSC_NGSPICE_DLL_DIR} ${gcc_runtime_dir}
        ${mingw_runtime_dir})
    file(GLOB dlls ${dir}/*.dll)
    foreach(dll ${dlls})
        get_filename_component(dll_name ${dll} NAME)
        string(TOLOWER ${dll_name} dll_name)
        if(NOT EXISTS ${dll_links}/${dll_name})
            file(CREATE_LINK ${dll} ${dll_links}/${dll_name} SYMBOLIC)
        endif()
    endforeach()
endforeach()
install(CODE "set(OSC_DLL_LINKS \"${dll_links}\")")
install(SCRIPT windows-runtime.cmake)

# The translation of Qt's own texts; the same file on every platform.
install(FILES /usr/share/qt6/translations/qtbase_zh_CN.qm DESTINATION translations)

# Licences and notices: ours, Qt's LGPL (with the GPL it builds on), and one
# file naming every other component the DLLs carry with its licence text.
set(qt_src ${OSC_QT_SOURCE_DIR})
file(GLOB qt_dsc ${qt_src}/../qt6-base_*.dsc)
file(STRINGS "${qt_dsc}" qt_deb_version REGEX "^Version: ")
string(REPLACE "Version: " "" qt_deb_version "${qt_deb_version}")
set(OSC_QT_SOURCE_ARCHIVE ${PROJECT_NAME}-${PROJECT_VERSION}-win64-qt-source.tar)

file(READ ${PROJECT_SOURCE_DIR}/LICENSE text)
osc_windows_text(${text_dir}/LICENSE.txt "${text}")
file(READ ${qt_src}/LICENSES/LGPL-3.0-only.txt text)
osc_windows_text(${text_dir}/licenses/Qt-LGPL-3.0-only.txt "${text}")
file(READ ${qt_src}/LICENSES/GPL-3.0-only.txt text)
osc_windows_text(${text_dir}/licenses/Qt-GPL-3.0-only.txt "${text}")
set(ng_src ${OSC_NGSPICE_SOURCE_DIR})
file(GLOB ng_dsc ${ng_src}/../ngspice_*.dsc)
file(STRINGS "${ng_dsc}" ng_deb_version REGEX "^Version: ")
string(REPLACE "Version: " "" ng_deb_version "${ng_deb_version}")
set(OSC_NGSPICE_SOURCE_ARCHIVE ${PROJECT_NAME}-${PROJECT_VERSION}-win64-ngspice-source.tar)
# Numparam, inside the DLL, is under the LGPL 2; Debian's copyright file
# only points to the text.
file(READ /usr/share/common-licenses/LGPL-2 text)
osc_windows_text(${text_dir}/licenses/ngspice-LGPL-2.0.txt "${text}")

# Component, where it is, licence files (in the Qt source, or the Debian
# package's copyright file for MinGW's runtime).
set(rule "================================================================================")
set(notices "振荡电路计算器 ${PROJECT_VERSION}（Windows 64 位版）所含第三方组件的许可声明
Third-party notices for the Windows package of 振荡电路计算器 ${PROJECT_VERSION}

Qt ${Qt6_VERSION} (Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, Qt6Concurrent.dll,
platforms\\qwindows.dll, styles\\qwindowsvistastyle.dll,
imageformats\\qgif.dll) is used under the GNU Lesser General Public License
version 3; its text is in licenses\\Qt-LGPL-3.0-only.txt, and the GNU GPL
version 3 it builds on in licenses\\Qt-GPL-3.0-only.txt. These DLLs were built,
without changes of ours, from Debian's qt6-base source package version
${qt_deb_version}. Their files as Debian publishes them (the .dsc, the upstream
archives and Debian's patches) are distributed beside this package as
${OSC_QT_SOURCE_ARCHIVE}; the build options are those in
scripts/windows.sh of this program's source. You may replace the DLLs with
another build of the same Qt version.

Qt's DLLs contain the following components, under the licences that follow.
")
macro(osc_notice name where)
    string(APPEND notices "\n${rule}\n${name}\nUsed in: ${where}\n${rule}\n")
    foreach(file ${ARGN})
        file(READ ${file} text)
        string(APPEND notices "\n${text}")
    endforeach()
endmacro()
set(ext ${qt_src}/src/3rdparty)
osc_notice("PCRE2 (regular expressions)" "Qt6Core.dll" ${ext}/pcre2/LICENCE)
osc_notice("zlib (data compression)" "Qt6Core.dll" ${ext}/zlib/LICENSE)
osc_notice("double-conversion (binary-decimal conversion)" "Qt6Core.dll"
    ${ext}/double-conversion/LICENSE)
osc_notice("TinyCBOR" "Qt6Core.dll" ${ext}/tinycbor/LICENSE)
osc_notice("Easing Equations by Robert Penner" "Qt6Core.dll" ${ext}/easing/LICENSE)
osc_notice("SHA-384 and SHA-512 (RFC 6234)" "Qt6Core.dll" ${ext}/rfc6234/LICENSE)
osc_notice("SHA-3 (Keccak) and its byte-order helper" "Qt6Core.dll"
    ${ext}/sha3/CC0_LICENSE ${ext}/sha3/BRG_ENDIAN_LICENSE)
osc_notice("BLAKE2" "Qt6Core.dll" ${ext}/blake2/COPYING)
osc_notice("SipHash" "Qt6Core.dll" ${qt_src}/src/corelib/tools/LICENSE.siphash)
osc_notice("Unicode Character Database and Common Locale Data Repository" "Qt6Core.dll"
    ${qt_src}/src/corelib/text/UNICODE_LICENSE.txt)
osc_notice("SHA-1, MD4 and MD5" "Qt6Core.dll")
string(APPEND notices "\nThese implementations are in the public domain.\n")
osc_notice("FreeType (font rendering), and its anti-aliasing rasterizer" "Qt6Gui.dll"
    ${ext}/freetype/docs/FTL.TXT)
osc_notice("HarfBuzz (text shaping)" "Qt6Gui.dll" ${ext}/harfbuzz-ng/COPYING)
osc_notice("libpng" "Qt6Gui.dll" ${ext}/libpng/LICENSE)
osc_notice("MD4C (Markdown parser)" "Qt6Gui.dll" ${ext}/md4c/LICENSE.md)
osc_notice("Smooth Scaling Algorithm" "Qt6Gui.dll"
    ${qt_src}/src/gui/painting/QIMAGETRANSFORM_LICENSE.txt)
osc_notice("sRGB colour profile" "Qt6Gui.dll" ${ext}/icc/LICENSE.txt)

# ngspice, with the copyright file of the Debian source it was built from,
# which gives every file's licence.
osc_notice("ngspice (circuit simulator)" "libngspice-0.dll, loaded by osc-spice.exe")
string(APPEND notices "
libngspice-0.dll was built, without changes of ours, from Debian's ngspice
source package version ${ng_deb_version}, without its XSPICE, OSDI, CIDER and
ADMS parts. Its files as Debian publishes them are distributed beside this
package as ${OSC_NGSPICE_SOURCE_ARCHIVE}; the build options are those in
scripts/windows.sh of this program's source. ngspice is distributed under the
modified (3-clause) BSD licence; some of its files are under other licences,
as Debian's copyright file below lists them. Of the parts in the DLL, Numparam
(src/frontend/numparam) is used under the GNU Library General Public License
version 2, whose text is in licenses\\ngspice-LGPL-2.0.txt: you may replace
libngspice-0.dll with another build of the same ngspice version. The sparse
matrix package (src/maths/sparse) is under the Expat licence, a few files
under the PostgreSQL licence and the getopt functions under the 4-clause BSD
licence, whose texts follow.
")
file(READ ${ng_src}/debian/copyright text)
string(APPEND notices "\n${text}")

# MinGW-w64's runtime DLLs, with the copyright file of the Debian package
# they come from (for libstdc++ and libgcc it holds the GCC Runtime Library
# Exception).
set(packages)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    file(REAL_PATH ${dll_links}/${dll} found)
    execute_process(COMMAND dpkg-query -S ${found} OUTPUT_VARIABLE owner
        OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE ":.*" "" owner "${owner}")
    list(APPEND packages ${owner})
    list(APPEND dlls_of_${owner} ${dll})
endforeach()
list(REMOVE_DUPLICATES packages)
foreach(owner ${packages})
    list(JOIN dlls_of_${owner} ", " dlls)
    osc_notice("MinGW-w64 runtime (Debian package ${owner})" "${dlls}"
        /usr/share/doc/${owner}/copyright)
endforeach()
osc_windows_text(${text_dir}/THIRD-PARTY-NOTICES.txt "${notices}")

file(READ ${CMAKE_CURRENT_SOURCE_DIR}/windows-readme.txt text)
string(REPLACE "@VERSION@" "${PROJECT_VERSION}" text "${text}")
string(REPLACE "@QT_SOURCE_ARCHIVE@" "${OSC_QT_SOURCE_ARCHIVE}" text "${text}")
string(REPLACE "@NGSPICE_SOURCE_ARCHIVE@" "${OSC_NGSPICE_SOURCE_ARCHIVE}" text "${text}")
osc_windows_text(${text_dir}/README.txt "${text}")
install(DIRECTORY ${text_dir}/ DESTINATION .)

# Stripped (cpack strips the programs; the DLLs come with symbols nobody
# needs), then signed where a certificate is given: signing comes last, as
# stripping would break the signature.
install(CODE "
    file(GLOB_RECURSE binaries \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(binary \${binaries})
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${binary}\"
                            COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()
    if(DEFINED ENV{OSC_SIGN_CERT})
        file(GLOB programs \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.exe\")
        foreach(program \${programs})
            execute_process(COMMAND bash \"${CMAKE_CURRENT_SOURCE_DIR}/sign.sh\" \"\${program}\"
                            COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()
")

# The installer's welcome and finish pages and its header show the program's
# icon and name, drawn from the icon at 96 and 144 DPI.
set(pictures ${CMAKE_CURRENT_BINARY_DIR}/installer-pictures)
set(picture_files ${pictures}/welcome.bmp ${pictures}/welcome@144dpi.bmp ${pictures}/header.bmp
    ${pictures}/header@144dpi.bmp)
find_program(OSC_CONVERT convert REQUIRED) # ImageMagick, which the script runs
add_custom_command(OUTPUT ${picture_files}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/installer-pictures.sh ${OSC_HOST_SVGPNG}
            ${PROJECT_SOURCE_DIR}/ui/resources/icon.svg
            /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "${OSC_TITLE}" "版本 ${PROJECT_VERSION}"
            ${pictures}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/installer-pictures.sh ${PROJECT_SOURCE_DIR}/ui/resources/icon.svg
    VERBATIM)
add_custom_target(installer_pictures ALL DEPENDS ${picture_files})
set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${pictures}/welcome.bmp)
set(CPACK_NSIS_MUI_HEADERIMAGE ${pictures}/header.bmp)
# NSIS takes one picture of each and stretches it to the page's control; on a
# screen of 120 DPI or more the large ones replace them once the window
# exists, before the first page loads its picture.
set(dpi_pictures "
  !macro OSC_IF_HIGH_DPI label
    System::Call 'user32::GetDC(p0)p.r1'
    System::Call 'gdi32::GetDeviceCaps(pr1,i88)i.r0'
    System::Call 'user32::ReleaseDC(p0,pr1)'
    IntCmp $0 120 0 \${label}
  !macroend
  !macro OSC_LARGE_HEADER
    File \"/oname=$PLUGINSDIR\\modern-header.bmp\" \"${pictures}/header@144dpi.bmp\"
    SetBrandingImage /IMGID=1046 /RESIZETOFIT \"$PLUGINSDIR\\modern-header.bmp\"
  !macroend
  !define MUI_CUSTOMFUNCTION_GUIINIT OscLargePictures
  Function OscLargePictures
    Push $0
    Push $1
    !insertmacro OSC_IF_HIGH_DPI done
    File \"/oname=$PLUGINSDIR\\modern-wizard.bmp\" \"${pictures}/welcome@144dpi.bmp\"
    !insertmacro OSC_LARGE_HEADER
    done:
    Pop $1
    Pop $0
  FunctionEnd
  !define MUI_CUSTOMFUNCTION_UNGUIINIT un.OscLargePictures
  Function un.OscLargePictures
    Push $0
    Push $1
    !insertmacro OSC_IF_HIGH_DPI done
    !insertmacro OSC_LARGE_HEADER
    done:
    Pop $1
    Pop $0
  FunctionEnd")

# Both packages unpack to the same folder: the zip holds it as its top
# folder, the installer fills C:\Program Files\振荡电路计算器 with it.
set(CPACK_GENERATOR ZIP NSIS)
# The NSIS script fragments below are written as NSIS reads them.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/windows-cpack.cmake)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${OSC_TITLE}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${PROJECT_NAME})
set(CPACK_PACKAGE_EXECUTABLES oscillator-calculator "${OSC_TITLE}")
set(CPACK_RESOURCE_FILE_LICENSE ${text_dir}/LICENSE.txt)
set(CPACK_NSIS_PACKAGE_NAME "${OSC_TITLE}")
set(CPACK_NSIS_DISPLAY_NAME "${OSC_TITLE}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/ui/resources/app.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/ui/resources/app.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME oscillator-calculator.exe)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MUI_FINISHPAGE_RUN oscillator-calculator.exe)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A Unicode installer, for the Chinese names; 64-bit, like the program (the
# 32-bit stub would also do, but nothing else here is 32-bit). The program's
# name where NSIS names itself (CPack's own setting would trim it, which
# Debian's makensis refuses). The finish
# page's second box makes the desktop shortcut, unticked by default; the
# uninstaller removes it and the vendor's key the installer's own key sits
# in, and the size shows in the list of programs.
set(uninstall_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${PROJECT_NAME}")
set(CPACK_NSIS_DEFINES "
  Unicode true
  Target amd64-unicode
  BrandingText \"${OSC_TITLE} ${PROJECT_VERSION}\"
  !define MUI_FINISHPAGE_SHOWREADME
  !define MUI_FINISHPAGE_SHOWREADME_TEXT \"创建桌面快捷方式\"
  !define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
  !define MUI_FINISHPAGE_SHOWREADME_FUNCTION OscDesktopShortcut
  Function OscDesktopShortcut
    CreateShortCut \"\$DESKTOP\\${OSC_TITLE}.lnk\" \"\$INSTDIR\\oscillator-calculator.exe\"
  FunctionEnd
  Function un.onUninstSuccess
    DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"
  FunctionEnd
  ${dpi_pictures}")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  SectionGetSize 0 \$0
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"EstimatedSize\" \$0")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  Delete \"\$DESKTOP\\${OSC_TITLE}.lnk\"")
