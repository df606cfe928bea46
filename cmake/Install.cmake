# What `cmake --install` puts where, and the Debian package made from it.
# Every destination is relative to the install prefix, so that
# `cmake --install build --prefix P` and DESTDIR both work.

# A Debian package keeps its documents under its own (lower-case) name.
set(CMAKE_INSTALL_DOCDIR "share/doc/vardelta" CACHE PATH "Documentation root (DOCDIR)")
include(GNUInstallDirs)

# The package version is the one the programs print in their banner.
file(STRINGS ${PROJECT_SOURCE_DIR}/maker/command_line.h VARDELTA_VERSION_LINE
     REGEX "\\$VER: Vardelta [0-9.]+")
string(REGEX MATCH "Vardelta ([0-9.]+)" _ "${VARDELTA_VERSION_LINE}")
if(NOT CMAKE_MATCH_1)
  message(FATAL_ERROR "No version string found in maker/command_line.h")
endif()
set(VARDELTA_VERSION ${CMAKE_MATCH_1})

# bash-completion says where it looks; its own prefix is stripped so that the
# completions follow the install prefix. It looks under every folder of
# XDG_DATA_DIRS, /usr/local/share and /usr/share by default.
set(_completions_default "${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions")
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_get_variable(_completion_prefix bash-completion prefix)
  pkg_get_variable(_completions_dir bash-completion completionsdir)
  if(_completions_dir AND _completion_prefix)
    string(REGEX REPLACE "^${_completion_prefix}/" "" _completions_default "${_completions_dir}")
  endif()
endif()
set(VARDELTA_BASH_COMPLETION_DIR "${_completions_default}" CACHE PATH
    "Where bash completions are installed (relative to the prefix, or absolute)")

install(TARGETS Vardelta Varmend RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Symbolic links are made once in the build tree and installed as links; each
# points at its neighbour by a relative name, so it survives any prefix.
function(vardelta_install_link folder link target destination)
  set(path ${CMAKE_CURRENT_BINARY_DIR}/install-links/${folder}/${link})
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/install-links/${folder})
  file(CREATE_LINK ${target} ${path} SYMBOLIC)
  install(FILES ${path} DESTINATION ${destination})
endfunction()

vardelta_install_link(bin vardelta Vardelta ${CMAKE_INSTALL_BINDIR})
vardelta_install_link(bin varmend Varmend ${CMAKE_INSTALL_BINDIR})

install(FILES man/Vardelta.1 man/Varmend.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES man/vlm3.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

# bash-completion loads a completion by the name of the command typed; one
# file serves all four names.
install(FILES completion/vardelta.bash DESTINATION ${VARDELTA_BASH_COMPLETION_DIR}
        RENAME vardelta)
foreach(name Vardelta varmend Varmend)
  vardelta_install_link(completions ${name} vardelta ${VARDELTA_BASH_COMPLETION_DIR})
endforeach()

# The repository carries no licence file; the README is the document there is.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(VARDELTA_MAINTAINER "Vardelta maintainers <maintainers@example.org>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME vardelta)
set(CPACK_PACKAGE_VERSION ${VARDELTA_VERSION})
set(CPACK_PACKAGE_CONTACT ${VARDELTA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small binary patches, one patch file for many files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Vardelta compares an old and a new version of a file and stores the\n"
       "differences as one record in a patch file. One patch file holds records\n"
       "for any number of files. Varmend picks the record that fits the file it\n"
       "is given by size and CRC-32, rebuilds the new version, verifies it, and\n"
       "can replace the old file in place, keep a backup, or bring a file several\n"
       "versions old up to date in one run.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARDELTA_MAINTAINER})
# Depends comes from the libraries the programs are linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_GENERATOR DEB)
include(CPack)
