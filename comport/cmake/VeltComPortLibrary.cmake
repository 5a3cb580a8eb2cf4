# How the component's libraries are made. Every part is compiled once into
# OBJECT libraries (with the symbols hidden but the marked public API); the
# program and the tests link a static library of them, which also reaches
# internal functions. What is installed for other programs is that static
# library, or with VELT_COMPORT_SHARED a shared library of the same objects.
include(GNUInstallDirs)

set(VELT_COMPORT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/VeltComPort)

# Compile options of one part of the component (an OBJECT library).
# BuildingDefine tells the export macro that the part's own code is compiled.
function(velt_component_part Target BuildingDefine)
  set_target_properties(${Target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ${VELT_COMPORT_SHARED})
  target_compile_definitions(${Target} PRIVATE ${BuildingDefine})
  target_compile_features(${Target} PUBLIC cxx_std_20)
  target_link_libraries(${Target} PUBLIC comport_export)
endfunction()

# The in-tree static library Name made of the OBJECT libraries Parts, and the
# library installed as Velt::<Name> (file lib<OutputName>) in ExportSet:
# the static one itself, or a shared twin linked against SharedDeps. What a
# program needs at run time (the shared library with its version links) goes
# to the install component RuntimeComponent, everything else to development.
function(velt_component_library Name OutputName ExportSet)
  include(GNUInstallDirs)
  cmake_parse_arguments(ARG "" "RUNTIME_COMPONENT" "PARTS;DEPS;SHARED_DEPS" ${ARGN})
  set(part_links)
  foreach(part ${ARG_PARTS})
    list(APPEND part_links $<BUILD_INTERFACE:${part}>)
  endforeach()
  add_library(${Name} STATIC)
  target_link_libraries(${Name} PUBLIC ${part_links} ${ARG_DEPS})
  set(installed ${Name})
  if(VELT_COMPORT_SHARED)
    set(installed ${Name}_shared)
    add_library(${installed} SHARED)
    target_link_libraries(${installed} PUBLIC ${part_links} ${ARG_SHARED_DEPS})
    set_target_properties(${installed} PROPERTIES
      VERSION ${VELT_COMPORT_VERSION} SOVERSION ${VELT_COMPORT_VERSION_MAJOR})
  endif()
  set_target_properties(${installed} PROPERTIES OUTPUT_NAME ${OutputName} EXPORT_NAME ${Name})
  target_include_directories(${installed} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_features(${installed} INTERFACE cxx_std_20)
  install(TARGETS ${installed} EXPORT ${ExportSet}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${ARG_RUNTIME_COMPONENT}
      NAMELINK_COMPONENT development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${ARG_RUNTIME_COMPONENT})
  # A stripped install (cmake --install --strip, and so the Debian packages)
  # drops the static library's debug information, as Debian's own do.
  if(NOT VELT_COMPORT_SHARED AND CMAKE_STRIP)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --remove-section=.comment --enable-deterministic-archives
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:${installed}>\")
endif()" COMPONENT development)
  endif()
  install(EXPORT ${ExportSet} NAMESPACE Velt:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VeltComPort
    COMPONENT development)
endfunction()
