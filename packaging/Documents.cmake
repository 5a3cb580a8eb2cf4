# The documents the packages carry: the manual pages of velt and velt-cli in
# English and Polish, written from one source each (man/*.1.in, see
# man/one-language.awk), the bash completion of velt-cli, and in every
# package's doc folder the licence (Debian's machine-readable copyright) and
# the changelog, compressed as Debian wants them.
find_program(VELT_AWK NAMES awk gawk mawk REQUIRED)
find_program(VELT_GZIP gzip REQUIRED)
# The date the manual pages give as their last change.
set(VELT_MANUAL_DATE 2026-12-07)
set(VELT_MANUAL_DIR ${CMAKE_CURRENT_BINARY_DIR}/man)
set(VELT_MANUAL_DIR ${VELT_MANUAL_DIR} PARENT_SCOPE)

# Compresses Source into Target.gz the reproducible way (no name or time).
function(velt_gzip Source Target)
  execute_process(COMMAND ${VELT_GZIP} -9 -n -c ${Source} OUTPUT_FILE ${Target}.gz RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${Source} failed")
  endif()
endfunction()

# The page Page in both languages: <man>/<lang>/<Page>.1 and .1.gz.
function(velt_manual_page Page)
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/man/${Page}.1.in)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${source} ${CMAKE_CURRENT_SOURCE_DIR}/man/one-language.awk)
  configure_file(${source} ${VELT_MANUAL_DIR}/${Page}.1.both @ONLY)
  foreach(lang en pl)
    file(MAKE_DIRECTORY ${VELT_MANUAL_DIR}/${lang})
    set(page ${VELT_MANUAL_DIR}/${lang}/${Page}.1)
    execute_process(COMMAND ${VELT_AWK} -v lang=${lang} -f ${CMAKE_CURRENT_SOURCE_DIR}/man/one-language.awk
                            ${VELT_MANUAL_DIR}/${Page}.1.both
                    OUTPUT_FILE ${page} ERROR_VARIABLE problem RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "The manual page of ${Page}: ${problem}")
    endif()
    velt_gzip(${page} ${page})
  endforeach()
  install(FILES ${VELT_MANUAL_DIR}/en/${Page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
  install(FILES ${VELT_MANUAL_DIR}/pl/${Page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/pl/man1 COMPONENT program)
endfunction()

foreach(program ${VELT_PROGRAMS})
  velt_manual_page(${program})
endforeach()
if(TARGET velt-cli)
  install(FILES velt-cli.bash-completion RENAME velt-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT program)
endif()

# The changelog, kept in Debian's format, signed by the packages' maintainer.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog)
configure_file(debian/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
velt_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)

# The licence and changelog in the doc folder of package Package (component Component).
function(velt_package_documents Package Component)
  install(FILES debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${Package} COMPONENT ${Component})
endfunction()
velt_package_documents(${VELT_PROGRAM_PACKAGE} program)
velt_package_documents(${VELT_DEVELOPMENT_PACKAGE} development)
if(VELT_COMPORT_SHARED)
  velt_package_documents(${VELT_RUNTIME_PACKAGE} runtime)
  if(TARGET comport_ui_shared)
    velt_package_documents(${VELT_RUNTIME_UI_PACKAGE} runtime_ui)
  endif()
endif()
