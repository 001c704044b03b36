# Target-scoped defaults shared by every target of the project.
function(orvane_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(ORVANE_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(ORVANE_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# Gives a target the include root of one layer: a folder of the build tree
# (include/<layer>) that holds nothing but the link <layer> -> src/<layer>, so
# that `#include "<layer>/File.h"` finds that layer's headers and no other
# layer's. A library exports its root PUBLIC; linking it brings its own root
# and, through its PUBLIC links, the roots of the layers below, never one
# above: an include that runs up the chain does not compile.
function(orvane_layer_include_root target scope layer)
  set(root ${PROJECT_BINARY_DIR}/include/${layer})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${layer} ${root}/${layer} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()

# The static library of one layer (src/<layer>) from the files listed after
# the layer's name, relative to the calling folder.
function(orvane_add_library target layer)
  add_library(${target} STATIC ${ARGN})
  orvane_layer_include_root(${target} PUBLIC ${layer})
  orvane_target_defaults(${target})
endfunction()
