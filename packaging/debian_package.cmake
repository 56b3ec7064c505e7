# `cpack -G DEB` in the build folder makes quorvex_<version>_<arch>.deb from the
# main component and, when quorvex-mpi was built, quorvex-mpi_<version>_<arch>.deb
# from the mpi one, so a machine without Open MPI installs the plain program.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_CONTACT "Quorvex maintainers <maintainers@users.noreply.c-seed-ae78c013.example>"
    CACHE STRING "The Debian packages' Maintainer")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENTS_ALL main)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
# dpkg-shlibdeps names the Debian packages of the libraries the programs load
# (NTL, fplll and MPFR, the C++ runtime, Open MPI). GMP is named as well: NTL's exact
# arithmetic, on which every verdict of verify and merge rests, is GMP's, even
# though nothing here calls it directly. The shlibs file and the ldconfig
# trigger let other packages depend on libquorvex.so.1 in turn.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_MAIN_PACKAGE_DEPENDS libgmp10)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_DEBIAN_MAIN_PACKAGE_NAME quorvex)
# The first line is the package's synopsis.
string(CONCAT CPACK_DEBIAN_MAIN_DESCRIPTION
       "search for equal sums of like powers by lattice reduction\n"
       "Quorvex searches for identities a1^k+...+am^k = b1^k+...+bn^k with as few\n"
       "powers as possible. This package holds the program, its manual page and bash\n"
       "completion, an example working folder, and libquorvex.so with its header,\n"
       "pkg-config and CMake files for host programs.")

if(TARGET quorvex-mpi)
  list(APPEND CPACK_COMPONENTS_ALL mpi)
  set(CPACK_DEBIAN_MPI_PACKAGE_NAME quorvex-mpi)
  set(CPACK_COMPONENT_MPI_DEPENDS main)  # the manual page and examples
  # mpirun starts the job; dpkg-shlibdeps adds Open MPI's library.
  set(CPACK_DEBIAN_MPI_PACKAGE_DEPENDS openmpi-bin)
  set(CPACK_DEBIAN_MAIN_PACKAGE_SUGGESTS quorvex-mpi)
  string(CONCAT CPACK_DEBIAN_MPI_DESCRIPTION
         "search for equal sums of like powers over an Open MPI job\n"
         "quorvex-mpi runs the search of quorvex over the processes of an Open MPI job,\n"
         "on one machine or many, with process 0 owning the working folder.")
endif()

include(CPack)
