# Sanitizers apply to everything built here, the plugin and the host alike,
# so that a fault on either side of the boundary is reported.
if(ASHGROVE_SANITIZE)
  add_compile_options(-fsanitize=${ASHGROVE_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ASHGROVE_SANITIZE})
endif()
