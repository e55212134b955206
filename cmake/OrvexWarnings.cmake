# SPDX-License-Identifier: Apache-2.0
# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(ORVEX_WERROR)
  add_compile_options(-Werror)
endif()

if(ORVEX_SANITIZE)
  add_compile_options(-fsanitize=${ORVEX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORVEX_SANITIZE})
endif()

find_package(Threads REQUIRED)
link_libraries(Threads::Threads)
