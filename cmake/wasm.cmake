# The WebAssembly build (the wasm preset, emscripten's toolchain): what it
# compiles is the engine, the row rules and the table reader with
# kelmory-batch around them, run by Node.js; no windows.
#
# Debian's header-only libraries are used from /usr/include, but that folder
# must not be on the include path, where its C library headers would hide
# emscripten's: a folder of links to just those libraries stands in, with a
# package configuration of its own for each, found through <Package>_DIR.
set(KELMORY_WASM_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
set(KELMORY_WASM_PACKAGES ${PROJECT_BINARY_DIR}/host-packages)
file(MAKE_DIRECTORY ${KELMORY_WASM_HEADERS})
function(kelmory_host_headers package version target)
  foreach(folder IN LISTS ARGN)
    file(CREATE_LINK /usr/include/${folder} ${KELMORY_WASM_HEADERS}/${folder} SYMBOLIC)
  endforeach()
  set(dir ${KELMORY_WASM_PACKAGES}/${package})
  file(WRITE ${dir}/${package}Config.cmake
       "if(NOT TARGET ${target})\n"
       "  add_library(${target} INTERFACE IMPORTED)\n"
       "  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES\n"
       "                        ${KELMORY_WASM_HEADERS})\n"
       "endif()\n")
  file(WRITE ${dir}/${package}ConfigVersion.cmake
       "set(PACKAGE_VERSION ${version})\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
  set(${package}_DIR ${dir} CACHE PATH "" FORCE)
endfunction()
kelmory_host_headers(Boost 1.74.0 Boost::headers boost)
kelmory_host_headers(fmt 9.1.0 fmt::fmt-header-only fmt)
file(APPEND ${fmt_DIR}/fmtConfig.cmake
     "set_target_properties(fmt::fmt-header-only PROPERTIES INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)\n")
kelmory_host_headers(FastFloat 3.9.0 FastFloat::fast_float fast_float)
kelmory_host_headers(CLI11 2.1.2 CLI11::CLI11 CLI)

# CLI11 and GoogleTest report through exceptions: WebAssembly's own
# exception handling (Node.js 17 and every current browser) costs nothing
# until one is thrown, where emscripten's default, through JavaScript,
# slowed every call that might throw. Float-to-integer conversions that
# saturate spare the checks around each one. The programs run under Node.js
# with the host's files (NODERAWFS), compiled at load time (Node 18 and
# later would otherwise fetch the .wasm file as a URL), with their exit
# status passed on, and with room to grow for a large table.
add_compile_options(-fwasm-exceptions -mnontrapping-fptoint)
add_link_options(-fwasm-exceptions -mnontrapping-fptoint -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0
                 -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1)
# The linker's JavaScript optimiser needs acorn, which Debian keeps there.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
