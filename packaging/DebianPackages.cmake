# The Debian packages, one per install component: `cmake --build build
# --target package`. The program's package carries only the program's
# component; the component for developers, and its runtime libraries in a
# shared build, are packages of their own.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program development)
if(VELT_COMPORT_SHARED)
  list(APPEND CPACK_COMPONENTS_ALL runtime)
  if(TARGET comport_ui_shared)
    list(APPEND CPACK_COMPONENTS_ALL runtime_ui)
  endif()
endif()
set(CPACK_PACKAGE_NAME ${VELT_PROGRAM_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELT_PACKAGE_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Each package's description: its first line is the summary, the rest is
# wrapped within the 80 columns that Debian's tools show.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME ${VELT_PROGRAM_PACKAGE})
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION electronics)
# Qt's Polish texts: no library link shows that the program needs them.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION [[
reads the measurements stored in a meter and sets its clock
Velt reads the measurements stored in a meter over a serial line, shows them
as text that can be copied or saved, and sets the meter's clock. Its window
is Polish. The package also holds velt-cli, which runs the same commands
from the command line.]])

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${VELT_DEVELOPMENT_PACKAGE})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The dialog part of the component is found only where Qt's Widgets are.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS "qt6-base-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION [[
serial-port component of Velt (development files)
A C++20 serial-port component: opening and configuring ports, line settings
with their text forms, line events delivered on the program's own thread,
reads and writes with timeouts, and settings stored in a file. Its optional
Qt part adds a setup dialog whose lists edit a port's settings.
.
This package holds the headers, the libraries, the CMake package
(find_package(VeltComPort)) and the pkg-config file (velt-comport).]])

if(VELT_COMPORT_SHARED)
  # Programs built against the shared libraries depend on exactly this version.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${VELT_RUNTIME_PACKAGE})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION [[
serial-port component of Velt (shared library)
A C++20 serial-port component: opening and configuring ports, line settings
with their text forms, line events delivered on the program's own thread,
reads and writes with timeouts, and settings stored in a file.
.
This package holds the shared library that programs built with it need.]])
  if(TARGET comport_ui_shared)
    list(APPEND CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime_ui)
    # The dialog's library links the port's, which no installed package
    # provides yet: dpkg-shlibdeps finds it in the build, and the dependency
    # on its package is stated here.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/comport)
    set(CPACK_COMPONENT_RUNTIME_UI_DEPENDS runtime)
    set(CPACK_DEBIAN_RUNTIME_UI_PACKAGE_NAME ${VELT_RUNTIME_UI_PACKAGE})
    set(CPACK_DEBIAN_RUNTIME_UI_PACKAGE_SECTION libs)
    set(CPACK_DEBIAN_RUNTIME_UI_DESCRIPTION [[
serial-port component of Velt (Qt setup dialog, shared library)
The Qt part of Velt's serial-port component: a setup dialog whose lists
edit a port's settings, and the hand-over of the port's events to Qt's
event loop.
.
This package holds the shared library that programs built with it need.]])
  endif()
  # The dynamic linker's cache is refreshed by dpkg's ldconfig trigger, as
  # Debian wants, not by maintainer scripts: naming a postinst and postrm
  # that do not exist keeps CPack from writing ones that call ldconfig.
  foreach(component RUNTIME RUNTIME_UI)
    set(CPACK_DEBIAN_${component}_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers
        ${CMAKE_CURRENT_BINARY_DIR}/no-scripts/postinst ${CMAKE_CURRENT_BINARY_DIR}/no-scripts/postrm)
  endforeach()
endif()
include(CPack)
