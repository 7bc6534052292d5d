pelmora_add_test(plugin_block_resampler_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BlockResamplerTest.cpp
  LIBS pelmora_resampler)
