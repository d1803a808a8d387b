# The browser build: the game compiled by Emscripten into zubokranz.html/.js/.wasm/.data, linked
# to SDL2, FreeType, SDL2_ttf, SDL2_mixer and libxmp compiled from Debian's unpacked source
# packages in ZK_WEB_SOURCES (web/deps; scripts/build-web.sh fetches them). ZK_WEB_DATA names the
# native build's Data folder (pictures, sounds and music made by zkdata), ZK_WEB_FONTS the font
# files shipped beside them.
set(ZK_WEB_SOURCES "" CACHE PATH "Folder of the unpacked Debian source packages of the browser's libraries")
set(ZK_WEB_DATA "" CACHE PATH "The Data folder of a native build, preloaded into the page")
set(ZK_WEB_FONTS "" CACHE STRING "Font files shipped in Data/Fonts (no fontconfig in a browser)")
set(ZK_WEB_OUTPUT ${CMAKE_BINARY_DIR}/web CACHE PATH "Where the page and its files go")
if(NOT EXISTS ${ZK_WEB_DATA}/Res/Res1.dxg)
  message(FATAL_ERROR "ZK_WEB_DATA (${ZK_WEB_DATA}) is not a Data folder made by zkdata")
endif()
add_subdirectory(${CMAKE_SOURCE_DIR}/web/deps ${CMAKE_BINARY_DIR}/web-deps)

# C++ exceptions carry the game's errors (EGameError): they must be caught in the browser too.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

add_library(zk_web_libs INTERFACE)
target_link_libraries(zk_web_libs INTERFACE zk_web_mixer zk_web_ttf zk_web_xmp zk_web_sdl2)
set(ZK_PLATFORM_LIBS zk_web_libs)

# The page's Data folder: the native one without its saves, and the fonts.
function(zk_web_game target)
  set(_stage ${CMAKE_BINARY_DIR}/web-data/Data)
  set(_fonts_stamp ${CMAKE_BINARY_DIR}/web-data/stamp)
  add_custom_command(OUTPUT ${_fonts_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZK_WEB_DATA}/Res ${_stage}/Res
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZK_WEB_DATA}/Music ${_stage}/Music
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}/Fonts
    COMMAND ${CMAKE_COMMAND} -E copy ${ZK_WEB_FONTS} ${_stage}/Fonts/
    COMMAND ${CMAKE_COMMAND} -E touch ${_fonts_stamp}
    DEPENDS ${ZK_WEB_DATA}/Res/Res1.dxg ${ZK_WEB_DATA}/Res/Res2.dxg ${ZK_WEB_DATA}/Res/Res3.dxg
            ${ZK_WEB_DATA}/Res/Sounds.dxw ${ZK_WEB_DATA}/Music/Menu.xm ${ZK_WEB_DATA}/Music/Race.xm ${ZK_WEB_FONTS}
    VERBATIM)
  add_custom_target(zk_web_data DEPENDS ${_fonts_stamp})

  add_executable(${target} ${CMAKE_SOURCE_DIR}/src/app/main.cpp)
  add_dependencies(${target} zk_web_data)
  target_link_libraries(${target} PRIVATE zk_game)
  set_target_properties(${target} PROPERTIES SUFFIX ".html" RUNTIME_OUTPUT_DIRECTORY ${ZK_WEB_OUTPUT}
    LINK_DEPENDS "${CMAKE_SOURCE_DIR}/web/shell.html;${CMAKE_SOURCE_DIR}/web/pre.js;${CMAKE_SOURCE_DIR}/web/link-flags.rsp;${_fonts_stamp}")
  target_link_options(${target} PRIVATE
    -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864 -sMINIFY_HTML=0  # Debian's emcc cannot run htmlmin
    -lGL -sFORCE_FILESYSTEM=1 -lidbfs.js -sEXPORTED_FUNCTIONS=[_main,_malloc,_free]
    -sEXPORTED_RUNTIME_METHODS=[FS,IDBFS,addRunDependency,removeRunDependency]
    # The JavaScript functions SDL's own code calls (its $ names would not survive the shell).
    @${CMAKE_SOURCE_DIR}/web/link-flags.rsp
    --shell-file ${CMAKE_SOURCE_DIR}/web/shell.html --pre-js ${CMAKE_SOURCE_DIR}/web/pre.js
    --preload-file ${_stage}@/Data)
endfunction()
