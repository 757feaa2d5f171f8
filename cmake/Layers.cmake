# The libraries from the bottom up, one folder each, with the folders each may use. Code in a
# folder includes headers of its own folder and of these only, and its targets link these only:
# a layer never reaches up, and since a folder may only use folders listed before it, there is no
# cycle. The include check (cmake/CheckLayers.cmake, run by the test include_layers) and the link
# check (tavrello_check_links, at configure time) both read this one table.
set(TAVRELLO_LAYERS
  "format:"
  "support:"
  "store:"
  "rules:format store"
  "jet:"
  "pack:format jet store"
  "generate:format pack"
  "game:format rules store support"
  "editor:format generate pack")

# pack/ holds two libraries. The generator links only the part on Qt Core (tavrello_pack_common)
# and so may include only its headers.
set(TAVRELLO_PACK_COMMON_HEADERS
  AtomicFile.h CommandArguments.h CommandLine.h InputError.h Manifest.h
  CutRule.h Findability.h PerceptibleChange.h RecolourRule.h SeamMeasure.h)
set(TAVRELLO_LAYER_ONLY_generate_pack ${TAVRELLO_PACK_COMMON_HEADERS})

# One entry of the table: its folder, and the list of folders it may use.
function(tavrello_layer_entry entry folder_var uses_var)
  string(REGEX REPLACE ":.*" "" folder "${entry}")
  string(REGEX REPLACE "^[^:]*:" "" uses "${entry}")
  string(REPLACE " " ";" uses "${uses}")
  set(${folder_var} "${folder}" PARENT_SCOPE)
  set(${uses_var} "${uses}" PARENT_SCOPE)
endfunction()

# The folder a tavrello_* target belongs to.
function(tavrello_layer_of target out)
  string(REGEX REPLACE "^tavrello_" "" folder "${target}")
  if(folder STREQUAL "pack_common")
    set(folder pack)
  endif()
  set(${out} ${folder} PARENT_SCOPE)
endfunction()

# Fails the configure step when a library's target links a tavrello_* library its folder may not
# use.
function(tavrello_check_links)
  foreach(entry ${TAVRELLO_LAYERS})
    tavrello_layer_entry("${entry}" folder uses)
    foreach(target tavrello_${folder} tavrello_${folder}_common)
      if(NOT TARGET ${target})
        continue()
      endif()
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
      else()
        get_target_property(links ${target} LINK_LIBRARIES)
      endif()
      foreach(link ${links})
        if(NOT link MATCHES "^tavrello_")
          continue()
        endif()
        tavrello_layer_of(${link} used)
        if(NOT used STREQUAL folder AND NOT used IN_LIST uses)
          message(FATAL_ERROR "${target} links ${link}, but ${folder}/ may use only: ${uses}"
                              " (cmake/Layers.cmake)")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
