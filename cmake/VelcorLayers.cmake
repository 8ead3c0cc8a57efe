# The library's layers, one object library per folder of src/.
#
#   velcor_layer(<name> [DEPENDS <layer>...] [EXPOSES <layer>...] [PUBLIC_HEADERS <header>...]
#                [POSIX_ONLY <source>...] [WIN32_SOURCES <path>...])
#
# A layer compiles against an include folder of its own in the build tree that holds links to
# its own sources, to the layers it DEPENDS on and to what those layers EXPOSE through their
# headers, and to the public headers it may use. Any other include does not compile, so the
# layering holds by construction. DEPENDS: the layers whose headers the layer's sources include.
# EXPOSES: the layers the layer's own interface headers include, which its users see too.
# PUBLIC_HEADERS: the headers of include/velcor/ the layer uses; its users see them too.
#
# The Windows build takes src/<name>/win32/<file>.cpp in place of src/<name>/<file>.cpp, leaves
# out the POSIX_ONLY sources of the folder (those with no Windows counterpart) and adds the
# WIN32_SOURCES (paths from the top of the tree).

set(VELCOR_LAYERS "")

function(velcor_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "DEPENDS;EXPOSES;PUBLIC_HEADERS;POSIX_ONLY;WIN32_SOURCES")
  # Everything a user of this layer sees: the layer, the public headers its interface uses,
  # and what it exposes, transitively.
  set(exposed ${name})
  set(exposedHeaders ${LAYER_PUBLIC_HEADERS})
  foreach(layer IN LISTS LAYER_EXPOSES)
    get_property(more GLOBAL PROPERTY VELCOR_LAYER_EXPOSED_${layer})
    get_property(moreHeaders GLOBAL PROPERTY VELCOR_LAYER_HEADERS_${layer})
    list(APPEND exposed ${more})
    list(APPEND exposedHeaders ${moreHeaders})
  endforeach()
  list(REMOVE_DUPLICATES exposed)
  set_property(GLOBAL PROPERTY VELCOR_LAYER_EXPOSED_${name} ${exposed})
  set_property(GLOBAL PROPERTY VELCOR_LAYER_HEADERS_${name} ${exposedHeaders})
  # What the layer's own sources see.
  set(visible ${name})
  set(headers ${LAYER_PUBLIC_HEADERS})
  foreach(layer IN LISTS LAYER_DEPENDS)
    get_property(more GLOBAL PROPERTY VELCOR_LAYER_EXPOSED_${layer})
    get_property(moreHeaders GLOBAL PROPERTY VELCOR_LAYER_HEADERS_${layer})
    if(NOT more)
      message(FATAL_ERROR "layer ${name} depends on ${layer}, which is not defined before it")
    endif()
    list(APPEND visible ${more})
    list(APPEND headers ${moreHeaders})
  endforeach()
  list(REMOVE_DUPLICATES visible)
  list(REMOVE_DUPLICATES headers)

  set(view ${CMAKE_BINARY_DIR}/layer-include/${name})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view}/velcor)
  foreach(layer IN LISTS visible)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${layer} ${view}/${layer} SYMBOLIC)
  endforeach()
  foreach(header IN LISTS headers)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/include/velcor/${header} ${view}/velcor/${header}
         SYMBOLIC)
  endforeach()

  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
  if(WIN32)
    file(GLOB winSources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/win32/*.cpp)
    foreach(source IN LISTS winSources)
      get_filename_component(file ${source} NAME)
      list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/src/${name}/${file})
    endforeach()
    foreach(file IN LISTS LAYER_POSIX_ONLY)
      list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/src/${name}/${file})
    endforeach()
    foreach(file IN LISTS LAYER_WIN32_SOURCES)
      list(APPEND winSources ${PROJECT_SOURCE_DIR}/${file})
    endforeach()
    list(APPEND sources ${winSources})
  endif()
  if(sources)
    add_library(velcor_${name} OBJECT ${sources})
    target_include_directories(velcor_${name} PRIVATE ${view})
    target_compile_definitions(velcor_${name} PRIVATE VELCOR_BUILDING_LIBRARY)
    set(VELCOR_LAYERS ${VELCOR_LAYERS} ${name} PARENT_SCOPE)
  endif()
endfunction()
