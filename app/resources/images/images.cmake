# The default link images (prev1.gif, home1.gif, next1.gif). The programs look for them in
# their own folder first, so they are copied beside the programs in the build tree; an
# installation puts them in share/quirefold/ (beside the programs on Windows).
#
#   include(${CMAKE_CURRENT_SOURCE_DIR}/resources/images/images.cmake)
#   quirefold_use_link_images(quirefold-split)   # once per program that needs them

set(QUIREFOLD_LINK_IMAGES
  ${CMAKE_CURRENT_LIST_DIR}/prev1.gif
  ${CMAKE_CURRENT_LIST_DIR}/home1.gif
  ${CMAKE_CURRENT_LIST_DIR}/next1.gif
)

if(NOT TARGET quirefold_link_images)
  if(CMAKE_RUNTIME_OUTPUT_DIRECTORY)
    set(_quirefold_images_dir ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  else()
    set(_quirefold_images_dir ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(_quirefold_images_out)
  foreach(_image IN LISTS QUIREFOLD_LINK_IMAGES)
    get_filename_component(_name ${_image} NAME)
    add_custom_command(
      OUTPUT ${_quirefold_images_dir}/${_name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_quirefold_images_dir}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_image} ${_quirefold_images_dir}/${_name}
      DEPENDS ${_image}
      COMMENT "Copying link image ${_name}"
      VERBATIM)
    list(APPEND _quirefold_images_out ${_quirefold_images_dir}/${_name})
  endforeach()
  add_custom_target(quirefold_link_images ALL DEPENDS ${_quirefold_images_out})
  if(WIN32)
    install(FILES ${QUIREFOLD_LINK_IMAGES} DESTINATION ${CMAKE_INSTALL_BINDIR})
  else()
    install(FILES ${QUIREFOLD_LINK_IMAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/quirefold)
  endif()
endif()

# Makes sure the images are in place whenever the program is built on its own.
function(quirefold_use_link_images target)
  add_dependencies(${target} quirefold_link_images)
endfunction()
