# AddressSanitizer and UndefinedBehaviorSanitizer for the whole test build.
# Set globally so that every library, program and test agrees on the runtime.
if(KMX_SANITIZE)
  set(_kmx_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
               -fno-omit-frame-pointer)
  add_compile_options(${_kmx_san})
  add_link_options(${_kmx_san})
endif()
