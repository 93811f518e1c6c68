# Every target of ours builds warning-free with these.
add_compile_options(-Wall -Wextra)
