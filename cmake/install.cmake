# Installed like a tool (cmake --install BUILD --prefix P) and packed by CPack:
# a .deb on Linux, a .zip of the .exe files on Windows. Included from the top
# CMakeLists.txt once every program target exists.
include(GNUInstallDirs)

# The programs, each with its page in man/ where there is one. A companion is
# installed when it was built (its library found); clearing-sweep is listed
# so that it is installed from the day it exists.
set(clearing_programas clearing clearing-reference gen-network)
foreach(companion clearing-import clearing-export clearing-sweep clearing-reconstruct)
  if(TARGET ${companion})
    list(APPEND clearing_programas ${companion})
  endif()
endforeach()

if(WIN32)
  # A Windows user unpacks the .zip and finds the .exe files beside the README.
  set(clearing_bindir .)
  set(clearing_docdir .)
else()
  set(clearing_bindir ${CMAKE_INSTALL_BINDIR})
  set(clearing_docdir ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS ${clearing_programas} RUNTIME DESTINATION ${clearing_bindir})
install(FILES README.md DESTINATION ${clearing_docdir})
install(DIRECTORY docs/ DESTINATION ${clearing_docdir}/docs)
install(DIRECTORY examples/ DESTINATION ${clearing_docdir}/examples)

if(NOT WIN32)
  # The pages carry the project's version in their footer.
  foreach(programa ${clearing_programas})
    if(EXISTS ${PROJECT_SOURCE_DIR}/man/${programa}.1)
      configure_file(man/${programa}.1 ${PROJECT_BINARY_DIR}/man/${programa}.1 @ONLY)
      install(FILES ${PROJECT_BINARY_DIR}/man/${programa}.1
              DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
endif()

set(CPACK_PACKAGE_NAME clearing)
set(CPACK_PACKAGE_VENDOR "clearing maintainers")
set(CPACK_PACKAGE_CONTACT
    "Seed 09379f61 maintainers <maintainers@users.noreply.c-seed-09379f61.example>"
    CACHE STRING "Maintainer of the packages (name <address>)")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "clears a network of debts and writes a byte-exact report of the defaults")
set(CPACK_PACKAGE_DESCRIPTION
    "From the matrix of obligations between parties and their outside cash, clearing finds the "
    "clearing payment vector by the fictitious-default iteration and writes a Spanish report "
    "(ISO 8859-1, CR LF) of the rounds of defaults, the payments and the capital left. "
    "clearing-import and clearing-export turn named CSV files into its input and its report "
    "into CSV tables and a page of the cascade.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
# dpkg-shlibdeps names the libraries' packages (the companions' Graphviz and
# libcsv included) with the versions they need; without it, the list below.
find_program(CLEARING_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(CLEARING_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(clearing_dependencias libc6 libgcc-s1 libstdc++6)
  if(TARGET clearing-import)
    list(APPEND clearing_dependencias libcsv3)
  endif()
  if(TARGET clearing-export)
    list(APPEND clearing_dependencias libgvc6 libcgraph6)
  endif()
  list(JOIN clearing_dependencias ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()

# The Python module needs Debian's python3 and numpy; pandas and Dask only
# for what uses them.
if(TARGET clearing_python)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pandas, python3-distributed, python3-matplotlib")
endif()

include(CPack)
