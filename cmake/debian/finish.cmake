# Run by CPack on the staged tree before it is packed: manual pages and the
# changelog compressed with gzip -9n, as Debian keeps them.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/*.1")
foreach(file IN LISTS pages ITEMS "${CPACK_TEMPORARY_DIRECTORY}/usr/share/doc/pitsow/changelog")
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot compress ${file}")
  endif()
endforeach()
