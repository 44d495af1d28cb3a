# Authenticode signing of the shipped programs, only when asked
# (-DMV_SIGN=ON; tools/sign.sh reads the certificate from the environment).
option(MV_SIGN "Sign the Windows programs with tools/sign.sh" OFF)

# Signs the target's file right after it is linked, so that everything built
# from it (the payload streams) takes the signed file.
function(mv_sign target)
  if(MV_SIGN)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND bash ${CMAKE_SOURCE_DIR}/tools/sign.sh $<TARGET_FILE:${target}>
                       VERBATIM)
  endif()
endfunction()
