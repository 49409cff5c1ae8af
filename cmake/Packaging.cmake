# What `cmake --install` puts under the prefix besides the two programs, and
# the Debian package CPack makes of it.
include(GNUInstallDirs)

set(WA_ASSETS ${PROJECT_SOURCE_DIR}/assets)
set(WA_APP_ID invalid.tavrin.WeiboAlbums)

# Manual pages and the Debian changelog go compressed, as Debian ships them.
set(WA_COMPRESSED)
foreach(source man/weibo-albums.1 man/weibo-albums-cli.1 changelog)
    get_filename_component(name ${source} NAME)
    set(output ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
        COMMAND gzip -9n -c ${WA_ASSETS}/${source} > ${output}
        DEPENDS ${WA_ASSETS}/${source} VERBATIM)
    list(APPEND WA_COMPRESSED ${output})
endforeach()
add_custom_target(wa_compressed_docs ALL DEPENDS ${WA_COMPRESSED})

install(FILES ${CMAKE_BINARY_DIR}/packaging/weibo-albums.1.gz ${CMAKE_BINARY_DIR}/packaging/weibo-albums-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${WA_ASSETS}/completion/weibo-albums-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${WA_ASSETS}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Beside an installed program this tells it to keep the user's files in the
# user's folders, whoever runs it.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/installed "")
install(FILES ${CMAKE_BINARY_DIR}/packaging/installed DESTINATION ${CMAKE_INSTALL_DATADIR}/weibo-albums)

if(NOT WA_HEADLESS_ONLY)
    install(FILES ${WA_ASSETS}/${WA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${WA_ASSETS}/${WA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${WA_ASSETS}/icons/weibo-albums.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 16 22 24 32 48 64 128 256)
        install(FILES ${WA_ASSETS}/icons/weibo-albums-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME weibo-albums.png)
    endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME weibo-albums)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "weibo-albums developers <weibo-albums@tavrin.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch-download the photo albums of a Sina Weibo user")
# CPack puts the summary first as the synopsis; these lines follow it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Log in inside the program's own browser, pick a Weibo user, tick albums, and
every photo is saved under save folder / user / album. A command-line twin,
weibo-albums-cli, runs the same engine from a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-good, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, bash-completion")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
