# Run by cpack on the staged files before it packs them: takes the compilers' .comment section out of
# the programs, as Debian's own strip does.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program ${programs})
  execute_process(COMMAND ${CPACK_KESTRA_OBJCOPY} --remove-section=.comment ${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
