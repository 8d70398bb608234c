# `cmake --install build --prefix DIR` makes DIR a self-contained program
# folder: the player keeps its files beside itself, with the directory server
# and its data. The desktop entry, icons and metainfo go below DIR/share.
install(TARGETS vandrel-radio vandrel-directory RUNTIME DESTINATION .)
install(FILES
  ${PROJECT_SOURCE_DIR}/data/lang.ini
  ${PROJECT_SOURCE_DIR}/data/def_head.skn
  ${PROJECT_SOURCE_DIR}/data/def_frame1.skn
  ${PROJECT_SOURCE_DIR}/data/def_balk1.skn
  ${PROJECT_SOURCE_DIR}/data/def_head-dark.skn
  ${PROJECT_SOURCE_DIR}/data/def_frame1-dark.skn
  ${PROJECT_SOURCE_DIR}/data/def_balk1-dark.skn
  DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/directory/ DESTINATION directory)
install(DIRECTORY DESTINATION favo)
# The settings are the user's once they exist: a new install keeps them.
install(CODE "
  set(settings \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/INST.INI\")
  if(NOT EXISTS \"\${settings}\")
    file(INSTALL \"${PROJECT_SOURCE_DIR}/data/INST.INI\" DESTINATION \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  endif()
")

# The menu entry starts the installed program wherever the prefix is.
install(CODE "
  set(exe \"\${CMAKE_INSTALL_PREFIX}/vandrel-radio\")
  string(REPLACE \"\\\\\" \"\\\\\\\\\\\\\\\\\" exe \"\${exe}\")
  string(REPLACE \"\\\"\" \"\\\\\\\\\\\"\" exe \"\${exe}\")
  string(REPLACE \"`\" \"\\\\\\\\`\" exe \"\${exe}\")
  string(REPLACE \"$\" \"\\\\\\\\$\" exe \"\${exe}\")
  set(VANDREL_DESKTOP_EXEC \"\\\"\${exe}\\\"\")
  configure_file(\"${PROJECT_SOURCE_DIR}/data/desktop/org.vandrel.Radio.desktop.in\"
                 \"${CMAKE_BINARY_DIR}/desktop/org.vandrel.Radio.desktop\" @ONLY)
  file(INSTALL \"${CMAKE_BINARY_DIR}/desktop/org.vandrel.Radio.desktop\"
       DESTINATION \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications\")
")
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/org.vandrel.Radio.metainfo.xml DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/vandrel-radio.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME org.vandrel.Radio.svg)
foreach(size IN LISTS VANDREL_ICON_SIZES)
  install(FILES ${CMAKE_BINARY_DIR}/icons/org.vandrel.Radio-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME org.vandrel.Radio.png)
endforeach()

# For the menu to find the entry, its share folder must be one the desktop
# reads. Under /usr or /usr/local it is; elsewhere (/opt/...) the entry and
# icons are linked into /usr/local/share, or into $VANDREL_MENU_DATA_DIR
# ("none": not at all). Packaging with DESTDIR links nothing.
install(CODE "
  set(share \"\${CMAKE_INSTALL_PREFIX}/share\")
  if(DEFINED ENV{VANDREL_MENU_DATA_DIR})
    set(menu \"\$ENV{VANDREL_MENU_DATA_DIR}\")
  elseif(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND NOT CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/?$\")
    set(menu /usr/local/share)
  else()
    set(menu none)
  endif()
  if(NOT menu STREQUAL \"none\")
    set(links applications/org.vandrel.Radio.desktop metainfo/org.vandrel.Radio.metainfo.xml
              icons/hicolor/scalable/apps/org.vandrel.Radio.svg)
    foreach(size ${VANDREL_ICON_SIZES})
      list(APPEND links icons/hicolor/\${size}x\${size}/apps/org.vandrel.Radio.png)
    endforeach()
    foreach(link \${links})
      get_filename_component(folder \"\${menu}/\${link}\" DIRECTORY)
      file(MAKE_DIRECTORY \"\${folder}\")
      file(CREATE_LINK \"\${share}/\${link}\" \"\${menu}/\${link}\" SYMBOLIC RESULT failed)
      if(failed)
        message(WARNING \"could not link \${menu}/\${link}: \${failed}\")
      else()
        message(STATUS \"Linked: \${menu}/\${link}\")
      endif()
    endforeach()
  endif()
")
