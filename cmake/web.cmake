# The program built to WebAssembly with emscripten (`emcmake cmake -S . -B build-web`):
#   kml.js           the command-line program for Node (wasm embedded), on the real
#                    file system: `node kml.js LOG KML` behaves as the native `kml` does
#   web/             the page, one folder that opens from disk or any static host:
#                    index.html, style.css and the scripts from web/, and
#                    kml-web.js, the same program (wasm embedded) as a function,
#                    kmlProgram(), whose source the page runs in a Web Worker
#   cpack -G ZIP     kml-<version>-web.zip, the page folder
# Linking runs emscripten's JavaScript optimizer on node, which needs acorn. Debian keeps
# it in /usr/share/nodejs, where only Debian's own node looks: with any other node on the
# PATH, the link steps are given NODE_PATH naming that folder too.
execute_process(COMMAND node -e "require('acorn')" RESULT_VARIABLE kml_no_acorn OUTPUT_QUIET ERROR_QUIET)
if(kml_no_acorn AND EXISTS /usr/share/nodejs/acorn)
  set(kml_node_path "/usr/share/nodejs")
  if(DEFINED ENV{NODE_PATH} AND NOT "$ENV{NODE_PATH}" STREQUAL "")
    string(APPEND kml_node_path ":$ENV{NODE_PATH}")
  endif()
  set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "${CMAKE_COMMAND} -E env NODE_PATH=${kml_node_path}")
  message(STATUS "node finds no acorn of its own: linking with NODE_PATH=${kml_node_path}")
elseif(kml_no_acorn)
  message(FATAL_ERROR "node cannot find acorn, which emscripten needs: install it (Debian: node-acorn), "
                      "or name the folder that holds it in NODE_PATH")
endif()

set(kml_runtime -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1)
target_link_options(kml PRIVATE ${kml_runtime} -sNODERAWFS=1 -sENVIRONMENT=node -sSINGLE_FILE=1)

set(KML_PAGE_DIR "${CMAKE_BINARY_DIR}/web")
# A page made from file:// cannot load a worker script by URL, but it can make one from a
# blob: so the program is wrapped in a function whose source the page puts in the blob.
file(WRITE "${CMAKE_BINARY_DIR}/program_begin.js"
  "// kml, built to WebAssembly: kmlProgram() returns its factory, createKml.\nfunction kmlProgram() {\n")
file(WRITE "${CMAKE_BINARY_DIR}/program_end.js" "return createKml;\n}\n")
# It hands the page its outcome as data (platform_page.cpp), besides the bytes it writes.
add_executable(kml_web src/kml.cpp src/kml_file.cpp src/platform_posix.cpp src/platform_page.cpp)
target_link_libraries(kml_web PRIVATE kml_core)
set_target_properties(kml_web PROPERTIES OUTPUT_NAME kml-web RUNTIME_OUTPUT_DIRECTORY "${KML_PAGE_DIR}")
target_link_options(kml_web PRIVATE ${kml_runtime}
  -sMODULARIZE=1 -sEXPORT_NAME=createKml -sSINGLE_FILE=1 -sENVIRONMENT=worker -sINVOKE_RUN=0
  -sEXPORTED_RUNTIME_METHODS=callMain,FS -lworkerfs.js
  "SHELL:--extern-pre-js ${CMAKE_BINARY_DIR}/program_begin.js"
  "SHELL:--extern-post-js ${CMAKE_BINARY_DIR}/program_end.js")

# The page is every file of web/: this folder is the one list of its files.
file(GLOB kml_page_files RELATIVE "${PROJECT_SOURCE_DIR}/web" CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/web/*")
foreach(file IN LISTS kml_page_files)
  configure_file("web/${file}" "${KML_PAGE_DIR}/${file}" COPYONLY)
endforeach()
