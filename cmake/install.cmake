# Installed like a tool (cmake --install BUILD --prefix P) and packed by CPack:
# a .deb on Linux, a .zip of the .exe files on Windows. Included from the top
# CMakeLists.txt once every program target exists.
include(GNUInstallDirs)

# The programs, each with its page in man/. A companion is installed when it
# was built (its library found). gen-network is the tests' and benchmarks'
# generator, used from the build tree: not installed. clearing-sweep-mpi goes
# in a package of its own (component mpi), so that only it pulls in Open MPI.
set(clearing_programas clearing clearing-reference)
foreach(companion clearing-import clearing-export clearing-sweep clearing-reconstruct)
  if(TARGET ${companion})
    list(APPEND clearing_programas ${companion})
  endif()
endforeach()
set(clearing_programas_mpi)
if(TARGET clearing-sweep-mpi)
  set(clearing_programas_mpi clearing-sweep-mpi)
endif()

if(WIN32)
  # A Windows user unpacks the .zip and finds the .exe files beside the README.
  set(clearing_bindir .)
  set(clearing_docdir .)
else()
  set(clearing_bindir ${CMAKE_INSTALL_BINDIR})
  set(clearing_docdir ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS ${clearing_programas} RUNTIME DESTINATION ${clearing_bindir} COMPONENT base)
install(FILES README.md DESTINATION ${clearing_docdir} COMPONENT base)
install(DIRECTORY docs/ DESTINATION ${clearing_docdir}/docs COMPONENT base)
install(DIRECTORY examples/ DESTINATION ${clearing_docdir}/examples COMPONENT base)
if(clearing_programas_mpi)
  install(TARGETS ${clearing_programas_mpi} RUNTIME DESTINATION ${clearing_bindir} COMPONENT mpi)
endif()

set(CPACK_PACKAGE_CONTACT
    "Seed 09379f61 maintainers <maintainers@users.noreply.c-seed-09379f61.example>"
    CACHE STRING "Maintainer of the packages (name <address>)")

if(NOT WIN32)
  # The pages carry the project's version in their footer and are installed
  # compressed, as Debian wants them. Each package's folder under doc/ holds
  # its copyright and changelog (compressed too).
  find_program(CLEARING_GZIP gzip)
  function(clearing_comprime origen destino)
    if(CLEARING_GZIP)
      # -n: no name nor time stamp inside, so the same build gives the same bytes.
      execute_process(COMMAND ${CLEARING_GZIP} -9nkf ${origen} COMMAND_ERROR_IS_FATAL ANY)
      install(FILES ${origen}.gz DESTINATION ${destino} ${ARGN})
    else()
      install(FILES ${origen} DESTINATION ${destino} ${ARGN})
    endif()
  endfunction()
  foreach(componente base mpi)
    if(componente STREQUAL base)
      set(programas ${clearing_programas})
      set(paquete clearing)
    else()
      set(programas ${clearing_programas_mpi})
      set(paquete clearing-mpi)
    endif()
    if(NOT programas)
      continue()
    endif()
    foreach(programa ${programas})
      configure_file(man/${programa}.1 ${PROJECT_BINARY_DIR}/man/${programa}.1 @ONLY)
      clearing_comprime(${PROJECT_BINARY_DIR}/man/${programa}.1 ${CMAKE_INSTALL_MANDIR}/man1
                        COMPONENT ${componente})
    endforeach()
    set(CLEARING_PAQUETE ${paquete})
    set(doc ${PROJECT_BINARY_DIR}/doc/${paquete})
    configure_file(cmake/copyright.in ${doc}/copyright @ONLY)
    configure_file(cmake/changelog.in ${doc}/changelog @ONLY)
    install(FILES ${doc}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${paquete}
            COMPONENT ${componente})
    clearing_comprime(${doc}/changelog ${CMAKE_INSTALL_DATAROOTDIR}/doc/${paquete}
                      COMPONENT ${componente})
  endforeach()
endif()

set(CPACK_PACKAGE_NAME clearing)
set(CPACK_PACKAGE_VENDOR "clearing maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "clears a network of debts and writes a byte-exact report of the defaults")
# The long descriptions in lines of at most 80 columns, as Debian wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "From the matrix of obligations between parties and their outside cash,\n"
    "clearing finds the clearing payment vector by the fictitious-default\n"
    "iteration and writes a Spanish report (ISO 8859-1, CR LF) of the rounds of\n"
    "defaults, the payments and the capital left. clearing-import and\n"
    "clearing-export turn named CSV files into its input and its report into CSV\n"
    "tables and a page of the cascade. clearing-sweep and clearing-reconstruct\n"
    "clear it under many scenarios and on networks made from totals.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

# Two packages: clearing (component base) with everything but the MPI sweep,
# and clearing-mpi with clearing-sweep-mpi, which alone needs Open MPI.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL base ${clearing_programas_mpi})
list(TRANSFORM CPACK_COMPONENTS_ALL REPLACE "^clearing-sweep-mpi$" mpi)
set(CPACK_DEBIAN_BASE_PACKAGE_NAME clearing)
set(CPACK_DEBIAN_MPI_PACKAGE_NAME clearing-mpi)
set(CPACK_DEBIAN_BASE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_MPI_DESCRIPTION
    "clearing-sweep-mpi shares the scenarios of clearing-sweep among the ranks\n"
    "of mpirun (Open MPI), on one machine or many. Rank 0 writes the same\n"
    "sweep.csv and sweep_nodes.csv as clearing-sweep.")
string(JOIN "" CPACK_DEBIAN_MPI_DESCRIPTION ${CPACK_DEBIAN_MPI_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
# dpkg-shlibdeps names the libraries' packages (the companions' Graphviz and
# libcsv, Open MPI's library) with the versions they need; without it, the
# lists below.
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
  list(JOIN clearing_dependencias ", " CPACK_DEBIAN_BASE_PACKAGE_DEPENDS)
  set(clearing_dependencias_mpi "libc6, libgcc-s1, libstdc++6, libcsv3, libopenmpi3, ")
endif()
# The MPI sweep is started by mpirun, and its page leads to clearing-sweep's.
set(CPACK_DEBIAN_MPI_PACKAGE_DEPENDS
    "${clearing_dependencias_mpi}openmpi-bin, clearing (= ${PROJECT_VERSION})")

# The Python module needs Debian's python3 and numpy; pandas and Dask only
# for what uses them.
if(TARGET clearing_python)
  set(CPACK_DEBIAN_BASE_PACKAGE_RECOMMENDS "python3, python3-numpy")
  set(CPACK_DEBIAN_BASE_PACKAGE_SUGGESTS "python3-pandas, python3-distributed, python3-matplotlib")
endif()

include(CPack)
