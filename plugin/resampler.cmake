# The correction pass's resampler, a library of its own so that its tests and
# benchmark need nothing else of the plug-in.
add_library(pelmora_resampler STATIC ${CMAKE_CURRENT_LIST_DIR}/BlockResampler.cpp)
