# Installation and the Debian package. The program and its data file share
# one private directory, P/lib/kelmory; P/bin/kelmory is a relative link to
# the program, which finds the data file through its resolved directory.
# The desktop file, icons and metainfo all carry the one application id.

set(KELMORY_APP_ID example.varonel.Kelmory)
set(kelmory_private_dir lib/kelmory)

install(TARGETS kelmory RUNTIME DESTINATION ${kelmory_private_dir})
get_target_property(kelmory_data_file kelmory_cutoff_data KELMORY_DATA_FILE)
install(FILES ${kelmory_data_file} DESTINATION ${kelmory_private_dir})

# The link is made in the build tree and installed as a link, so that the
# install manifest and the package both list it.
set(kelmory_link ${CMAKE_CURRENT_BINARY_DIR}/install/kelmory)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/install)
file(CREATE_LINK ../${kelmory_private_dir}/kelmory ${kelmory_link} SYMBOLIC)
install(FILES ${kelmory_link} DESTINATION bin)

install(FILES ${KELMORY_SOURCE_DIR}/packaging/${KELMORY_APP_ID}.desktop
        DESTINATION share/applications)
install(FILES ${KELMORY_SOURCE_DIR}/packaging/${KELMORY_APP_ID}.metainfo.xml
        DESTINATION share/metainfo)
# The window sizes and the larger ones that software centres show.
foreach(size IN ITEMS 16 32 48 64 128 256)
  install(FILES ${KELMORY_SOURCE_DIR}/app/icons/kelmory-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME ${KELMORY_APP_ID}.png)
endforeach()
install(FILES ${KELMORY_SOURCE_DIR}/app/icons/kelmory.svg
        DESTINATION share/icons/hicolor/scalable/apps
        RENAME ${KELMORY_APP_ID}.svg)

# Installs a text file gzip-compressed, as Debian wants manual pages and
# changelogs. gzip -n: no name or time stamp, so the same text gives the
# same bytes.
function(kelmory_install_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/gzipped/${destination}/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${KELMORY_SOURCE_DIR}/${source} ${copy}
    COMMAND gzip -9 -n -f ${copy}
    DEPENDS ${KELMORY_SOURCE_DIR}/${source}
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${destination}/${name} target)
  add_custom_target(kelmory_gzip_${target} ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

# One call a manual page; its section is the name's last suffix.
function(kelmory_install_man_page source)
  string(REGEX MATCH "[^.]+$" section ${source})
  kelmory_install_gzipped(${source} share/man/man${section})
endfunction()
kelmory_install_man_page(packaging/kelmory.1)

# The package's copyright and changelog, where Debian looks for them.
install(FILES ${KELMORY_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/kelmory)
kelmory_install_gzipped(packaging/changelog share/doc/kelmory)

# kelmory-batch, the converter for whole tables, stands on its own in P/bin.
if(TARGET kelmory-batch)
  install(TARGETS kelmory-batch RUNTIME DESTINATION bin)
  kelmory_install_man_page(batch/kelmory-batch.1)
endif()

# kelmory-review, the table window over a whole review, with a menu entry of
# its own that opens CSV files.
if(TARGET kelmory-review)
  install(TARGETS kelmory-review RUNTIME DESTINATION bin)
  install(FILES ${KELMORY_SOURCE_DIR}/packaging/${KELMORY_APP_ID}Review.desktop
          DESTINATION share/applications)
  install(FILES ${KELMORY_SOURCE_DIR}/packaging/${KELMORY_APP_ID}Review.metainfo.xml
          DESTINATION share/metainfo)
  kelmory_install_man_page(packaging/kelmory-review.1)
endif()

if(NOT KELMORY_TOP_LEVEL)
  return()
endif()

# cpack -G DEB in the build folder: kelmory_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME kelmory)
set(CPACK_PACKAGE_VENDOR Varonel)
set(CPACK_PACKAGE_CONTACT "Varonel <kelmory@varonel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "standard deviation from a standard error or confidence interval")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelmory is a small, exact desktop calculator for people who read research
papers. From a reported standard error of the mean, or the half-width of a
95%, 99% or user-valued confidence interval, together with the sample size N,
it recovers the sample's standard deviation and shows the working step by
step. For small samples it advises a t value and offers a read-only table of
t critical values at twelve confidence levels.")
string(APPEND CPACK_PACKAGE_DESCRIPTION "
The package also holds kelmory-batch, which converts a whole CSV table of
studies at once, with the SD under z and under t side by side and the
working of every row, and kelmory-review, a table window into which a
whole review pastes from a spreadsheet.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.varonel.example/)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the font is what the designs are
# measured against where the original face is missing.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-liberation2)
include(CPack)
