# Sanitizer builds: ORVANTA_SANITIZE=address (AddressSanitizer with
# UndefinedBehaviorSanitizer) or thread (ThreadSanitizer). Every target of the tree is
# instrumented. With clang, the address build also carries libFuzzer's coverage
# instrumentation so the fuzz targets (fuzz/) can link against the same libraries.
set(ORVANTA_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")
set_property(CACHE ORVANTA_SANITIZE PROPERTY STRINGS "" address thread)

if(ORVANTA_SANITIZE STREQUAL "address")
    set(_orvanta_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
                     -fno-omit-frame-pointer)
    # vptr checks need RTTI everywhere and report false positives across Qt's
    # uninstrumented libraries; the rest of UBSan stays on.
    list(APPEND _orvanta_san -fno-sanitize=vptr)
    add_compile_options(${_orvanta_san})
    add_link_options(${_orvanta_san})
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        add_compile_options(-fsanitize=fuzzer-no-link)
    endif()
elseif(ORVANTA_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT ORVANTA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "ORVANTA_SANITIZE must be empty, address or thread")
endif()
