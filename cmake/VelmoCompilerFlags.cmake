# Warnings and sanitizers shared by every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wno-missing-field-initializers)

if(VELMO_SANITIZE)
    set(_velmo_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(${_velmo_san} -O1 -g)
    add_link_options(${_velmo_san})
endif()
